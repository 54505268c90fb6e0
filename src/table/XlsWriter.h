#pragma once
#include "table/ExportSource.h"

#include <QIODevice>

// An Excel 97-2003 workbook (BIFF8 in a compound document): every non-empty
// cell a text cell, 65,535 data rows a sheet ("Sheet1", "Sheet2", ...), the
// header row at the top of each. The sheets and the shared strings are
// gathered in two scratch files in `scratchDir` (they are removed), since
// the strings must stand in the stream before the sheets that use them.
// Empty on success, else why it failed.
QString writeXls(QIODevice &out, const ExportSource &source, const QString &scratchDir);

// Rows of one sheet, the header included.
inline constexpr int kXlsSheetRows = 65536;
