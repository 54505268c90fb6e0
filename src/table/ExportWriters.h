#pragma once
#include "table/ExportSource.h"

// Writes the table to `path` in the format its name asks for: ".xlsx"
// Office Open XML, ".csv" UTF-8 CSV with a byte-order mark (RFC 4180
// quoting, CRLF) and without a trailing all-empty row, anything else an
// Excel 97-2003 workbook. Written through ReplaceFile: `path` is never left
// half-written, a file already there stays as it was when the export fails,
// and only a regular file is ever replaced. Empty on success, else why it
// failed, in words for the user; when `source.progress` answered false,
// source.cancelled is set, nothing was made and the text says "cancelled".
QString exportTable(const QString &path, const ExportSource &source);
