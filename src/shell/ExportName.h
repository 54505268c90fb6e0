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
