#pragma once
#include <QDateTime>
#include <QString>

// The file name Export proposes: the computer's month, day, hour and minute,
// two digits each, then ".xls" (7 March, 14:05 gives 03071405.xls). It
// stands in "D:\" where there is such a drive, else in `documents`.
QString proposedExportName(const QDateTime &now, bool driveD, const QString &documents);

// Whether this computer has a drive D:, and the user's documents folder.
bool hasDriveD();
QString documentsFolder();

// The save dialog's filter entries, "|" between them, and the suffix each
// stands for ("EXCEL(*.xlsx)" gives "xlsx"; empty for "All File(*.*)").
// kTidyCsvEntry is the CSV of one reading a row.
extern const QString kExportFilter;
extern const QString kTidyCsvEntry;
QString filterSuffix(const QString &filterEntry);
// The name in the save dialog once the user has chosen the filter of
// `suffix`: one that ends in another export suffix takes this one, so that
// the file is of the kind chosen; any other name stays as typed.
QString nameForFilter(const QString &name, const QString &suffix);

// What an export writes, by the file's name: ".xlsx", ".csv" (with
// `tidyCsv`: one reading a row), ".jsonl"; the window writes any other
// name as an .xls.
enum class ExportKind { Xls, Xlsx, Csv, TidyCsv, JsonLines };
ExportKind exportKind(const QString &file, bool tidyCsv);

// The logger writes only names whose suffix says the kind: ".xls",
// ".xlsx", ".csv", ".jsonl". Empty when `file` is one, else why not.
QString loggerExportRefusal(const QString &file, bool tidyCsv);
