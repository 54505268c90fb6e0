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
extern const QString kExportFilter;
QString filterSuffix(const QString &filterEntry);
// The name in the save dialog once the user has chosen the filter of
// `suffix`: one that ends in another export suffix takes this one, so that
// the file is of the kind chosen; any other name stays as typed.
QString nameForFilter(const QString &name, const QString &suffix);
