#include "report/ReportSectionsPainter.h"

#include "report/ReportAuditTrail.h"
#include "report/PageFlowPainter.h"

#include <QRegularExpression>
#include <QTextCharFormat>

#include <algorithm>
#include <cmath>
#include <numeric>

namespace {

using Pairs = QList<QPair<QString, QString>>;

const QString kDash = QStringLiteral("–");

QString orDash(const QString &text)
{
    return text.trimmed().isEmpty() ? kDash : text;
}

FlowTable keyValues(const Pairs &pairs, const QStringList &header = {})
{
    FlowTable t;
    t.widths = {0.3, 0.7};
    t.header = header;
    t.rows = int(pairs.size());
    t.cells = [pairs](int r) { return QStringList{pairs[r].first, pairs[r].second}; };
    return t;
}

// 1. The recording: what was measured, with what, where and by whom.
void recordingBlock(PageFlow &f, const ReportData &d)
{
    f.title(QStringLiteral("Recording report"));
    Pairs rows = {{QStringLiteral("Meter model"), orDash(d.model)}, {QStringLiteral("Device"), orDash(d.device)}};
    if (!d.stableDevice.isEmpty())
        rows.append({QStringLiteral("Stable device name"), d.stableDevice});
    rows += Pairs{{QStringLiteral("Recording"), orDash(d.recordingId)},
                  {QStringLiteral("Start"), orDash(d.start)},
                  {QStringLiteral("End"), orDash(d.end)},
                  {QStringLiteral("How it ended"), orDash(d.endedHow)},
                  {QStringLiteral("Host"), orDash(d.host)},
                  {QStringLiteral("User"), orDash(d.user)},
                  {QStringLiteral("Program version"), orDash(d.programVersion)}};
    f.table(keyValues(rows));
}

// 2. Settings and calibration: the verdict in colour beside the value.
void checkLine(PageFlow &f, const CheckLine &line)
{
    QTextCharFormat verdict;
    verdict.setFontWeight(QFont::Bold);
    verdict.setForeground(line.pass ? QColor(0, 110, 0) : QColor(190, 0, 0));
    f.paragraph(line.text, f.bodyFont(),
                {{int(line.verdictAt), int(line.text.size() - line.verdictAt), verdict}});
}

void electrodeCheck(PageFlow &f, const ReportSettings &s, const ReportLimits &limits)
{
    if (!s.phSlopePercent && !s.phOffsetMv)
        return;
    f.paragraph(QStringLiteral("pH electrode check:"), f.boldFont());
    if (s.phSlopePercent)
        checkLine(f, slopeCheck(*s.phSlopePercent, limits));
    if (s.phOffsetMv)
        checkLine(f, offsetCheck(*s.phOffsetMv, limits));
}

// The panel rows a change altered, added or dropped: caption, before, after.
QList<QStringList> changedRows(const Pairs &before, const Pairs &after)
{
    auto find = [](const Pairs &pairs, const QString &name) -> const QString * {
        for (const auto &p : pairs)
            if (p.first == name)
                return &p.second;
        return nullptr;
    };
    QList<QStringList> out;
    for (const auto &p : after) {
        const QString *old = find(before, p.first);
        if (!old || *old != p.second)
            out.append({p.first, old ? orDash(*old) : kDash, orDash(p.second)});
    }
    for (const auto &p : before)
        if (!find(after, p.first))
            out.append({p.first, orDash(p.second), kDash});
    return out;
}

void settingsSection(PageFlow &f, const ReportData &d)
{
    f.heading(QStringLiteral("Settings and calibration"));
    if (d.settings.isEmpty()) {
        f.paragraph(QStringLiteral("The meter sent no settings during this recording."));
        return;
    }
    const ReportSettings &first = d.settings.front();
    f.heading(first.when.isEmpty() ? QStringLiteral("In force at the start")
                                   : QStringLiteral("In force at the start (received %1)").arg(first.when),
              false);
    electrodeCheck(f, first, d.limits);
    // As the window's settings panel showed them: what the meter's user saw
    // and set, not the program's fields behind it.
    if (!first.panel.isEmpty())
        f.table(keyValues(first.panel, {QStringLiteral("Settings panel"), QStringLiteral("As shown")}));
    else
        f.paragraph(QStringLiteral("The settings panel was empty."));
    for (qsizetype i = 1; i < d.settings.size(); ++i) {
        const ReportSettings &s = d.settings[i];
        f.heading(QStringLiteral("Changed at %1").arg(orDash(s.when)), false);
        electrodeCheck(f, s, d.limits);
        const QList<QStringList> changes = changedRows(d.settings[i - 1].panel, s.panel);
        if (changes.isEmpty()) {
            f.paragraph(QStringLiteral("The settings panel shows no change."));
            continue;
        }
        FlowTable t;
        t.widths = {0.3, 0.35, 0.35};
        t.header = {QStringLiteral("Settings panel"), QStringLiteral("Before"), QStringLiteral("After")};
        t.rows = int(changes.size());
        t.cells = [changes](int r) { return changes[r]; };
        f.table(t);
    }
}

// 3. Statistics: min and max as finely as the cells, mean and standard
// deviation one place finer.
QString number(double v, int decimals, bool scientific)
{
    if (std::isnan(v))
        return kDash;
    QString text = QString::number(v, scientific ? 'E' : 'f', std::clamp(decimals, 0, 12));
    // A mean of -0.0001 shown to two places is "0.00", not "-0.00".
    if (text.startsWith(u'-') && text.indexOf(QRegularExpression(QStringLiteral("[1-9]"))) < 0)
        text.remove(0, 1);
    return text;
}

void statisticsSection(PageFlow &f, const QList<ColumnStats> &stats)
{
    f.heading(QStringLiteral("Statistics"));
    QList<QStringList> rows;
    QStringList notes;
    for (const ColumnStats &c : stats) {
        const QString name = c.header.isEmpty() ? QStringLiteral("column %1").arg(c.column + 1) : c.header;
        if (c.units.isEmpty())
            rows.append({name, kDash, QStringLiteral("0"), kDash, kDash, kDash, kDash});
        for (const UnitStats &u : c.units) {
            rows.append({name, u.unit.isEmpty() ? kDash : u.unit, QString::number(u.n),
                         number(u.min, u.decimals, u.scientific), number(u.max, u.decimals, u.scientific),
                         number(u.mean, u.decimals + 1, u.scientific), number(u.sd, u.decimals + 1, u.scientific)});
            if (!u.from.isEmpty())
                notes.append(QStringLiteral("%1: cells in %2 are shown in %3.").arg(name, u.from.join(QStringLiteral(", ")), u.unit));
        }
        if (c.units.size() > 1) {
            QStringList units;
            for (const UnitStats &u : c.units)
                units.append(u.unit.isEmpty() ? QStringLiteral("no unit") : u.unit);
            notes.append(QStringLiteral("%1: %2 do not convert into one another, so each has a line of its own.")
                             .arg(name, units.join(QStringLiteral(" and "))));
        }
        if (c.notNumbers > 0)
            notes.append(QStringLiteral("%1: %2 cells without a number (such as \"----\") are not counted.").arg(name).arg(c.notNumbers));
    }
    if (rows.isEmpty()) {
        f.paragraph(QStringLiteral("The recording holds no quantities."));
        return;
    }
    FlowTable t;
    t.widths = {0.14, 0.12, 0.1, 0.16, 0.16, 0.16, 0.16};
    t.header = {QStringLiteral("Quantity"), QStringLiteral("Unit"), QStringLiteral("n"), QStringLiteral("Minimum"),
                QStringLiteral("Maximum"), QStringLiteral("Mean"), QStringLiteral("Std. deviation")};
    t.align = {Qt::AlignLeft, Qt::AlignLeft, Qt::AlignRight, Qt::AlignRight, Qt::AlignRight, Qt::AlignRight, Qt::AlignRight};
    t.rows = int(rows.size());
    t.cells = [rows](int r) { return rows[r]; };
    f.table(t);
    notes.prepend(QStringLiteral("The standard deviation is the sample's (n − 1). A cell counts when it holds a "
                                 "complete number, with or without a unit."));
    f.paragraph(notes.join(u'\n'));
}

// 4. The chart as it was drawn.
void chartSection(PageFlow &f, const QImage &chart)
{
    f.heading(QStringLiteral("Chart"), true, chart.isNull() ? -1 : f.imageHeight(chart));
    if (chart.isNull())
        f.paragraph(QStringLiteral("No chart was drawn for this recording."));
    else
        f.image(chart);
}

// 5. The readings: all of them up to the limit, otherwise a page's worth
// from the start and from the end.
FlowTable readingsTable(PageFlow &f, const ReportData &d, const QList<int> &printed, const QFont &font)
{
    ExportSource::Row header, cells;
    d.rows.read(0, header);
    // The columns a layout names or a printed row fills, as wide as their
    // widest text, stretched or squeezed to the page.
    QList<double> widest(8, 0);
    QList<bool> used(8, false);
    QFont bold = font;
    bold.setBold(true);
    for (int c = 0; c < 8; ++c) {
        used[c] = !header[std::size_t(c)].isEmpty();
        widest[c] = f.advance(header[std::size_t(c)], bold);
    }
    for (int r : printed) {
        d.rows.read(r, cells);
        for (int c = 0; c < 8; ++c) {
            if (cells[std::size_t(c)].isEmpty())
                continue;
            used[c] = true;
            widest[c] = std::max(widest[c], f.advance(cells[std::size_t(c)], font));
        }
    }
    // Each column gets its widest text and a margin of an "M" either side.
    const double margin = 2 * f.advance(QStringLiteral("M"), font);
    QList<int> columns;
    double sum = 0;
    for (int c = 0; c < 8; ++c)
        if (used[c]) {
            columns.append(c);
            sum += widest[c] + margin;
        }
    FlowTable t;
    t.font = font;
    for (int c : columns) {
        t.widths.append((widest[c] + margin) / sum);
        t.header.append(header[std::size_t(c)]);
        t.align.append(Qt::AlignHCenter);
    }
    t.cells = [&d, columns, printed](int i) {
        ExportSource::Row row;
        d.rows.read(printed[i], row);
        QStringList texts;
        for (int c : columns)
            texts.append(row[std::size_t(c)]);
        return texts;
    };
    return t;
}

void readingsSection(PageFlow &f, const ReportData &d)
{
    if (!f.atTop())
        f.newPage();
    f.heading(QStringLiteral("Readings"));
    const int total = std::max(0, d.rows.rows - 1);
    if (total == 0) {
        f.paragraph(QStringLiteral("The recording holds no readings."));
        return;
    }
    const int limit = std::max(0, d.rowLimit);
    QFont font = f.bodyFont();
    font.setPointSizeF(8.5);
    QFont bold = font;
    bold.setBold(true);
    const double row = f.rowHeight(font), header = f.rowHeight(bold);

    if (total <= limit) {
        f.paragraph(QStringLiteral("All %1 readings of the recording (a report prints every reading of a recording "
                                   "of up to %2).").arg(total).arg(limit));
        QList<int> printed(total);
        std::iota(printed.begin(), printed.end(), 1);
        FlowTable t = readingsTable(f, d, printed, font);
        t.rows = total;
        f.table(t);
        return;
    }

    // Cut: as many rows as fill this page and a whole page after it, but
    // never more than the limit in all.
    // The holder is named as given, never capitalised: it may be a command
    // to type ("tq800-log --recording 3 --export FILE").
    const QString holder = d.allRowsExport.trimmed().isEmpty() ? QStringLiteral("an export of the recording")
                                                                : d.allRowsExport.trimmed();
    const QString statement = QStringLiteral("The recording holds %1 readings, more than the %2 a report prints in full, "
                                             "so this report shows the first and the last of them. Every reading is in %3.")
                                  .arg(total).arg(limit).arg(holder);
    f.paragraph(statement);
    const QString markerProbe = QStringLiteral("Readings %1 to %2 are not printed here.").arg(total).arg(total);
    const double markerHeight = f.paragraphHeight(markerProbe, f.bodyFont());
    int first = std::max(1, int((f.remaining() - header - markerHeight - f.mm(2)) / row));
    int last = std::max(1, int((f.textHeight() - header - f.mm(2)) / row));
    first = std::min(first, (limit + 1) / 2);
    last = std::min(last, limit - first);
    QList<int> printed;
    for (int r = 1; r <= first; ++r)
        printed.append(r);
    for (int r = total - last + 1; r <= total; ++r)
        printed.append(r);
    FlowTable t = readingsTable(f, d, printed, font);
    t.rows = first;
    f.table(t);
    f.paragraph(QStringLiteral("Readings %1 to %2 are not printed here.").arg(first + 1).arg(total - last), f.boldFont());
    if (last > 0) {
        f.newPage();
        FlowTable tail = t;
        tail.rows = last;
        tail.cells = [cells = t.cells, first](int i) { return cells(first + i); };
        f.table(tail);
    }
}

// 6. The audit trail, in time order (ReportAuditTrail.h): the local time with its
// offset on one line, the event, what it said.
void eventsSection(PageFlow &f, const QList<ReportEvent> &events)
{
    f.heading(QStringLiteral("Audit trail"));
    if (events.isEmpty()) {
        f.paragraph(QStringLiteral("No events were recorded."));
        return;
    }
    FlowTable t;
    t.font = f.bodyFont();
    t.font.setPointSizeF(8);
    QStringList times;
    double timeWidth = f.advance(QStringLiteral("Local time"), f.boldFont());
    for (const ReportEvent &e : events) {
        times << auditTime(e.local.isEmpty() ? e.utc : e.local);
        timeWidth = std::max(timeWidth, f.advance(times.last(), t.font));
    }
    // The time column as wide as its widest time, so none breaks.
    const double timeShare = std::min(0.4, (timeWidth + f.mm(3)) / f.textWidth());
    t.widths = {timeShare, 0.18, 0.82 - timeShare};
    t.header = {QStringLiteral("Local time"), QStringLiteral("Event"), QStringLiteral("Detail")};
    t.rows = int(events.size());
    t.cells = [&events, times](int r) { return QStringList{times[r], events[r].kind, events[r].detail}; };
    f.table(t);
}

// 7. The fingerprint and the signatures.
void closingSections(PageFlow &f, const QString &fingerprint)
{
    f.heading(QStringLiteral("Fingerprint"));
    f.paragraph(QStringLiteral("SHA-256 of the recording's hash chain:"));
    f.paragraph(fingerprint.isEmpty() ? QStringLiteral("none: the recording was not stored") : fingerprint, f.monoFont());
    f.heading(QStringLiteral("Signatures"));
    f.signatureLine(QStringLiteral("Performed by"));
    f.signatureLine(QStringLiteral("Reviewed by"));
}

} // namespace

void paintReportSections(PageFlow &flow, const ReportData &data, const QList<ColumnStats> &stats)
{
    recordingBlock(flow, data);
    settingsSection(flow, data);
    statisticsSection(flow, stats);
    chartSection(flow, data.chart);
    readingsSection(flow, data);
    eventsSection(flow, data.events);
    closingSections(flow, data.fingerprint);
}
