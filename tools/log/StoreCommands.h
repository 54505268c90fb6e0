#pragma once
#include "publish/MqttOptions.h"
#include "report/CalibrationCheck.h"

#include <QDateTime>
#include <QString>

// What the logger does with the recordings store without a meter: list the
// recordings, check their chains, write a stored one out again.
namespace storecmd {

// One line per recording, beginning with its id. Exit status.
int list(const QString &folder);
// "ID: intact ..." / "ends early" / the first entry that does not match, and
// what the recording's row or the ledger says that its chain does not (an
// indented line each), for one recording (id > 0) or all. Exit status 0
// when every chain holds.
int verify(const QString &folder, qint64 id);
// Each entry of recording `id`: seq, kind and hash (hex), tab-separated.
int entries(const QString &folder, qint64 id);
// Whether the store's chain still holds `file` (FileCheck.h). Exit status
// 0 when it does.
int check(const QString &folder, const QString &file);
// Writes stored recording `id` to `file` as Export would (`tidyCsv`: a
// .csv of one reading a row). Exit status.
int exportStored(const QString &folder, qint64 id, const QString &file, bool tidyCsv);
// Writes the PDF report of stored recording `id` to `file`. Exit status.
int reportStored(const QString &folder, qint64 id, const QString &file, const ReportLimits &limits);
// Sends stored recording `id` (> 0), or every one started at or after
// `since`, to the broker again. Exit status 0 when all were acknowledged.
int republish(const QString &folder, qint64 id, const QDateTime &since, const MqttSettings &mqtt);

} // namespace storecmd
