#pragma once
#include "report/CalibrationCheck.h"
#include "report/ColumnStats.h"
#include "table/ExportSource.h"

#include <QImage>
#include <QList>
#include <QPageSize>
#include <QPair>
#include <QString>

#include <functional>
#include <optional>

// Everything a report of one recording shows, filled by whoever holds the
// recording (the live table or the store). Needs QtGui for the chart image.

// One audit-trail entry, times as ISO 8601.
struct ReportEvent
{
    QString utc, local, kind, detail;
};

// A settings snapshot: the one in force at the start or a change.
struct ReportSettings
{
    QString when;                                  // local ISO 8601 with offset, "" for "at start"
    QList<QPair<QString, QString>> fields;         // every decoded field, name -> value text
    QList<QPair<QString, QString>> panel;          // the settings panel rows as shown, caption -> value
    std::optional<double> phSlopePercent, phOffsetMv;   // pH calibration, when the meter is a pH meter
};

struct ReportData
{
    QString recordingId, model, device, stableDevice, host, user, programVersion;
    QString start, end, endedHow;        // ISO 8601 with offset; endedHow e.g. "Export", "Exit", "unfinished"
    QList<ReportSettings> settings;      // first the one in force at start, then each change
    ExportSource rows;                   // rows.rows includes the header row 0
    std::optional<QList<ColumnStats>> stats;   // of `rows`, where gathered already; else read from them
    QList<ReportEvent> events;
    QString fingerprint;                 // hex SHA-256 of the recording's hash chain
    QString anchor;                      // the chain entry the report is, for its metadata (AnchoredFile.h)
    QImage chart;                        // the chart as drawn, may be null
    ReportLimits limits;
    int rowLimit = 2000;                 // readings printed in full up to this many
    QString allRowsExport;               // what holds all rows when cut, e.g. "the .xlsx export"
    // May be empty: why the stored rows could not all be read, asked after
    // they were drawn ("" when they were); a failure means no report.
    std::function<QString()> readError;
};

// Writes the report to `path` as PDF, on `page` or else on the paper of the
// environment's locale for paper (LC_ALL, LC_PAPER, LANG: Letter where that is used,
// A4 elsewhere). A scratch file
// beside it is renamed into place when complete; a target that exists and
// is not a regular file is refused. Empty on success, else why it failed in
// words for the user.
QString writeReport(const QString &path, const ReportData &data, std::optional<QPageSize::PageSizeId> page = {});
