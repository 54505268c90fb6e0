#include "report/ReportBuild.h"

#include "chart/ChartPainter.h"
#include "record/AnchoredFile.h"
#include "record/RecordAudit.h"
#include "record/RecordStore.h"
#include "record/Replay.h"
#include "record/SettingsFields.h"
#include "record/StoredRows.h"
#include "report/ReportAuditTrail.h"
#include "report/StatsAlongside.h"
#include "shell/ReplayedCore.h"
#include "table/FlexGrid.h"
#include "text/VisibleText.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <QSysInfo>

#include <memory>

namespace {

constexpr QSize kChartSize(673, 481);   // the chart's size in the window
constexpr int kPhFamily = 0;

QString text(const QJsonValue &v)
{
    if (v.isNull() || v.isUndefined())
        return QString();   // a setting never received
    if (v.isDouble())
        return QString::number(v.toDouble(), 'g', 12);
    if (v.isBool())
        return v.toBool() ? QStringLiteral("yes") : QStringLiteral("no");
    if (v.isString())
        return v.toString();
    return QString::fromUtf8(QJsonDocument(v.isArray() ? QJsonDocument(v.toArray()) : QJsonDocument(v.toObject()))
                                 .toJson(QJsonDocument::Compact));
}

// pH slope and offset, for a pH meter's settings only.
void phCalibration(ReportSettings &s, double family, double slope, double offset)
{
    if (int(family) != kPhFamily)
        return;
    s.phSlopePercent = slope;
    s.phOffsetMv = offset;
}

ReportSettings settingsFrom(const QJsonObject &e, bool atStart)
{
    ReportSettings s;
    s.when = atStart ? QString() : e.value(QStringLiteral("local")).toString();
    const QJsonObject fields = e.value(QStringLiteral("fields")).toObject();
    for (auto it = fields.begin(); it != fields.end(); ++it)
        s.fields << qMakePair(it.key(), text(it.value()));
    for (const QJsonValue &row : e.value(QStringLiteral("panel")).toArray())
        s.panel << qMakePair(row.toArray().at(0).toString(), row.toArray().at(1).toString());
    // Numbers, or texts in a store written before they were numbers.
    using settingsfields::number;
    phCalibration(s, number(fields.value(QStringLiteral("MeterFamily"))), number(fields.value(QStringLiteral("CalSlope"))),
                  number(fields.value(QStringLiteral("CalOffset"))));
    return s;
}

// What the report shows came from the meter's line and from a store anyone
// may have written: a control character in it is shown, never passed on to
// whoever copies the report's text into a terminal or a file.
void makeVisible(ReportData &d)
{
    using visibletext::visible;
    for (QString *s : {&d.recordingId, &d.model, &d.device, &d.stableDevice, &d.host, &d.user, &d.programVersion, &d.start,
                       &d.end, &d.endedHow, &d.fingerprint, &d.allRowsExport})
        *s = visible(*s);
    for (ReportSettings &s : d.settings) {
        s.when = visible(s.when);
        for (auto *pairs : {&s.fields, &s.panel})
            for (QPair<QString, QString> &p : *pairs)
                p = qMakePair(visible(p.first), visible(p.second));
    }
    for (ReportEvent &e : d.events)
        for (QString *s : {&e.utc, &e.local, &e.kind, &e.detail})
            *s = visible(*s);
    if (d.rows.read)
        d.rows.read = [read = d.rows.read](int row, ExportSource::Row &cells) {
            read(row, cells);
            for (QString &c : cells)
                c = visible(c);
        };
    d.rows.readUtf8 = nullptr;   // the texts as read above, not past them
}

QString endedHow(const RecordingInfo &rec)
{
    return rec.endedHow.isEmpty() ? QStringLiteral("unfinished") : rec.endedHow;
}

} // namespace

QImage reportChart(const MainCore &core)
{
    QImage img(kChartSize, QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    paintChart(p, img.size(), 1, core.chart, core.Picture4);
    return img;
}

ReportData storedReportData(RecordStore &store, const RecordingInfo &rec, const QString &allRowsExport,
                            QString &error, const QImage &chart)
{
    error.clear();
    ReportData d;
    d.recordingId = QString::number(rec.id);
    d.model = rec.model.trimmed();
    d.device = rec.device;
    d.stableDevice = rec.stableDevice;
    d.host = rec.host;
    d.user = rec.user;
    d.programVersion = rec.version;
    d.start = rec.started;
    d.end = rec.ended;
    d.endedHow = endedHow(rec);
    d.allRowsExport = allRowsExport;

    // 1. Events and settings, in order, gathered on the walk that checks
    // the chain; the settings in force before the first reading count as
    // those at the start. The rows take the events from the same walk.
    auto rows = std::make_shared<StoredRows>(store, rec);
    AuditTrailBuilder trail;
    bool anyRow = false;
    const Audit checked = audit(store, rec, [&](const hashchain::Entry &entry) {
        if (entry.kind == QLatin1String("row")) {
            anyRow = true;
            return;
        }
        const QJsonObject e = QJsonDocument::fromJson(entry.body).object();
        if (entry.kind == QLatin1String("event"))
            rows->takeEvent(entry.seq, e);
        const QString kind = e.value(QStringLiteral("event")).toString();
        // The meter sends its settings again on every Clear: only a change
        // a reader can see is one (the audit trail keeps every frame).
        if (kind == QLatin1String("settings")) {
            ReportSettings s = settingsFrom(e, !anyRow && d.settings.isEmpty());
            if (d.settings.isEmpty() || s.panel != d.settings.last().panel
                || s.phSlopePercent != d.settings.last().phSlopePercent || s.phOffsetMv != d.settings.last().phOffsetMv)
                d.settings << s;
        }
        trail.add(e);
    });
    rows->eventsTaken();
    const hashchain::Verdict &v = checked.chain;
    d.events = trail.result();

    // 2. The fingerprint, and what the check found if the chain is broken.
    // The check read every entry: one the store could not give back ends
    // the report here, rather than a report of the readable part under the
    // fingerprint of where the reading stopped.
    using K = hashchain::Verdict::Kind;
    if (v.kind == K::Unreadable) {
        const QString where = v.seq > 1 ? QStringLiteral("reading recording %1's entries after entry %2").arg(rec.id).arg(v.seq - 1)
                                        : QStringLiteral("reading recording %1's entries").arg(rec.id);
        error = QStringLiteral("%1: %2").arg(where, v.why);
        return d;
    }
    d.fingerprint = QString::fromLatin1(v.fingerprint.toHex());
    // What the recording's row says that its chain does not: the header
    // above shows the row, this says it is not to be believed.
    if (!checked.holds())
        for (const QString &line : checked.lines())
            d.events << ReportEvent{QString(), QString(), QStringLiteral("verify"), line};

    // 3. The rows, read as the report walks them.
    d.rows = rows->exportSource();
    d.rows.rows = rows->rows() + 1;   // the header and the readings, not the empty row below
    d.rows.readUtf8 = nullptr;
    d.rows.read = [rows, read = d.rows.read](int row, ExportSource::Row &cells) { read(row, cells); };
    makeVisible(d);
    d.readError = [rows] { return rows->error(); };

    // 4. The chart, drawn again from a replay of the recording.
    if (!chart.isNull()) {
        d.chart = chart;
        return d;
    }
    // The statistics from the same rows, on a second core meanwhile.
    auto replay = std::make_shared<ReplayedCore>();
    ExportSource::Row header;
    d.rows.read(0, header);
    StatsAlongside stats(header);
    replayRecording(replay->core, *rows, rec, [&stats](const ExportSource::Row &cells) { stats.add(cells); });
    if (!rows->error().isEmpty()) {
        error = rows->error();
        return d;
    }
    d.stats = stats.result();
    d.chart = reportChart(replay->core);
    // The replayed table holds every row as stored: the report reads them
    // there rather than from the disk again (unless a body was so odd that
    // its texts might not survive the table's UTF-8).
    if (rows->parsedAny())
        return d;
    d.rows.read = [rows, replay, table = replay->core.MSFlexGrid1->exportSource(rows->rows()).read](
                      int row, ExportSource::Row &cells) {
        if (row == 0) {
            for (int c = 0; c < 8; ++c)
                cells[std::size_t(c)] = rows->header()[c];
        } else {
            table(row, cells);
        }
    };
    return d;
}

ReportData liveReportData(const MainCore &core, const QString &allRowsExport)
{
    ReportData d;
    d.model = core.m.ModelCode.toString().trimmed();
    d.device = core.MSComm1->device();
    d.host = QSysInfo::machineHostName();
    d.user = qEnvironmentVariable("USER");
    d.programVersion = QStringLiteral(TQ800_VERSION);
    d.endedHow = QStringLiteral("unfinished");
    d.allRowsExport = allRowsExport;
    ReportSettings s;
    for (std::size_t i = 0; i < core.panel.Label1.size(); ++i)
        if (!core.panel.Label1[i].Caption.isEmpty())
            s.panel << qMakePair(core.panel.Label1[i].Caption, core.panel.Label2[i].Caption);
    phCalibration(s, core.m.MeterFamily.toDouble(), core.m.CalSlope, core.m.CalOffset.toDouble());
    d.settings << s;
    d.rows = core.MSFlexGrid1->exportSource(core.m.GridRow - 1);   // the header and the readings
    d.chart = reportChart(core);
    makeVisible(d);
    return d;
}

void anchorReport(ReportData &data, const Anchor &a)
{
    if (!a.valid())
        return;
    data.fingerprint = QString::fromLatin1(a.fingerprint.toHex());
    data.anchor = anchorMark(a);
}

QString reportStoredRecording(RecordStore &store, const RecordingInfo &rec, const QString &file,
                              const QString &allRowsExport, const ReportLimits &limits, const AnchoredWrite &anchored,
                              QString *fingerprint)
{
    QString error;
    ReportData data = storedReportData(store, rec, allRowsExport, error);
    if (!error.isEmpty())
        return error;
    data.limits = limits;
    error = anchored([&](const Anchor &a) {
        anchorReport(data, a);
        return writeReport(file, data);
    });
    if (fingerprint)
        *fingerprint = data.fingerprint;
    return error;
}
