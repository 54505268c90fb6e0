#include "report/ReportAuditTrail.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>

#include <algorithm>
#include <cstdlib>

namespace {

// The two clocks are read one after the other, so one run's difference
// wavers: by a millisecond or two, by far more on a busy computer that
// stops the program between the two. The recorder takes a difference that
// moved by under 2 s for no clock jump; within that, the same run (two
// programs started within 2 s of each other merge, their events still in
// order of each one's clock).
constexpr qint64 kSameRunMs = 2000;

const QString kArrow = QStringLiteral(" → ");
const QString kDash = QStringLiteral("–");

// Names a reviewer reads more easily than the store's; every other event
// is its own name with blanks for underscores.
struct EventName
{
    const char *event;
    const char *name;
};
constexpr EventName kNames[] = {
    {"start", "program start"},   {"exit", "program exit"},     {"begin", "recording began"},
    {"end", "recording ended"},   {"model", "model frame"},     {"settings", "settings frame"},
    {"clear", "Clear"},           {"range", "chart range"},     {"export", "Export"},
    {"restored", "restored into the table"},
};

// Keys an event carries for the store's own use or that another section
// shows in full (the settings, the table's header).
const QStringList kBookkeeping{QStringLiteral("event"),  QStringLiteral("utc"),    QStringLiteral("local"),
                               QStringLiteral("mono_ms"), QStringLiteral("fields"), QStringLiteral("panel"),
                               QStringLiteral("header"), QStringLiteral("in_force"), QStringLiteral("frame")};

QString text(const QJsonValue &v)
{
    if (v.isDouble())
        return QString::number(v.toDouble(), 'g', 15);
    if (v.isBool())
        return v.toBool() ? QStringLiteral("yes") : QStringLiteral("no");
    if (v.isString())
        return v.toString();
    if (v.isNull() || v.isUndefined())
        return kDash;
    if (v.isObject()) {
        // Who did it, whose recording, the one before it: "host vm, user
        // ann, …" rather than JSON; an empty one (the store's first
        // recording has none before it) is "none".
        const QJsonObject o = v.toObject();
        QStringList parts;
        for (auto it = o.begin(); it != o.end(); ++it)
            if (!(it.value().isString() && it.value().toString().isEmpty()))
                parts << QString(it.key()).replace(u'_', u' ') + u' ' + text(it.value());
        return parts.isEmpty() ? QStringLiteral("none") : parts.join(QStringLiteral(", "));
    }
    return QString::fromUtf8(QJsonDocument(v.toArray()).toJson(QJsonDocument::Compact));
}

// "key: value; key: value" of what an event says beyond its name and times.
QString plainDetail(const QJsonObject &e)
{
    QStringList parts;
    for (auto it = e.begin(); it != e.end(); ++it)
        if (!kBookkeeping.contains(it.key()) && !(it.value().isString() && it.value().toString().isEmpty()))
            parts << QString(it.key()).replace(u'_', u' ') + QStringLiteral(": ") + text(it.value());
    return parts.join(QStringLiteral("; "));
}

// A panel caption as a label: "Slope :" -> "Slope".
QString caption(QString c)
{
    c = c.trimmed();
    if (c.endsWith(u':'))
        c.chop(1);
    return c.trimmed();
}

using Rows = QList<QPair<QString, QString>>;

Rows panelRows(const QJsonObject &settings)
{
    Rows rows;
    for (const QJsonValue &row : settings.value(QStringLiteral("panel")).toArray())
        rows << qMakePair(caption(row.toArray().at(0).toString()), row.toArray().at(1).toString().trimmed());
    return rows;
}

// A store written before the panel was kept: the decoded fields instead.
Rows fieldRows(const QJsonObject &settings)
{
    Rows rows;
    const QJsonObject fields = settings.value(QStringLiteral("fields")).toObject();
    for (auto it = fields.begin(); it != fields.end(); ++it)
        rows << qMakePair(it.key(), text(it.value()));
    return rows;
}

const QString *find(const Rows &rows, const QString &name)
{
    for (const auto &r : rows)
        if (r.first == name)
            return &r.second;
    return nullptr;
}

} // namespace

QString auditEventName(const QString &event)
{
    for (const EventName &n : kNames)
        if (event == QLatin1String(n.event))
            return QString::fromUtf8(n.name);
    return QString(event).replace(u'_', u' ');
}

QString auditTime(const QString &iso)
{
    static const QRegularExpression parts(
        QStringLiteral("^(\\d{4}-\\d\\d-\\d\\d)T(\\d\\d:\\d\\d:\\d\\d(?:\\.\\d+)?)(Z|[+-]\\d\\d:?\\d\\d)?$"));
    const QRegularExpressionMatch m = parts.match(iso.trimmed());
    if (!m.hasMatch())
        return iso.trimmed().isEmpty() ? kDash : iso;
    QString out = m.captured(1) + u' ' + m.captured(2);
    if (m.hasCaptured(3))
        out += u' ' + (m.captured(3) == QLatin1String("Z") ? QStringLiteral("UTC") : m.captured(3));
    return out;
}

QString settingsChange(const QJsonObject &previous, const QJsonObject &current)
{
    // 1. What the panel showed, or for a store without it, the fields.
    const bool panels = current.contains(QStringLiteral("panel"));
    const Rows now = panels ? panelRows(current) : fieldRows(current);
    if (previous.isEmpty()) {
        QStringList shown;
        for (const auto &r : now)
            shown << (r.second.isEmpty() ? r.first : r.first + u' ' + r.second);
        return current.value(QStringLiteral("in_force")).toBool()
                   ? QStringLiteral("in force at the start: %1").arg(shown.join(QStringLiteral(", ")))
                   : QStringLiteral("received: %1").arg(shown.join(QStringLiteral(", ")));
    }
    const Rows before = panels ? panelRows(previous) : fieldRows(previous);
    // 2. Each row changed, added or gone, as "Slope 88.0% → 97.2%".
    QStringList changes;
    for (const auto &r : now) {
        const QString *old = find(before, r.first);
        if (!old || *old != r.second)
            changes << r.first + u' ' + (old ? *old : kDash) + kArrow + r.second;
    }
    for (const auto &r : before)
        if (!find(now, r.first))
            changes << r.first + u' ' + r.second + kArrow + kDash;
    if (!changes.isEmpty())
        return changes.join(QStringLiteral("; "));
    // A recording that begins copies the frame in force into its chain.
    if (current.value(QStringLiteral("in_force")).toBool())
        return QStringLiteral("in force at the start, as received");
    return previous.value(QStringLiteral("fields")) == current.value(QStringLiteral("fields"))
               ? QStringLiteral("sent again; nothing changed")
               : QStringLiteral("a setting the panel does not show changed");
}

int AuditTrailBuilder::runOf(const QJsonObject &e, qint64 &mono)
{
    const QDateTime utc = QDateTime::fromString(e.value(QStringLiteral("utc")).toString(), Qt::ISODateWithMs);
    const QJsonValue m = e.value(QStringLiteral("mono_ms"));
    if (!utc.isValid() || !m.isDouble()) {
        mono = lastMono_;
        return lastRun_;
    }
    mono = m.toInteger();
    const qint64 began = utc.toMSecsSinceEpoch() - mono;
    // A clock jump moves the moment the run seems to have begun by as much:
    // the run before the jump goes on under its new moment.
    if (e.value(QStringLiteral("event")).toString() == QLatin1String("clock_jump")) {
        const qint64 before = began - qint64(e.value(QStringLiteral("by_ms")).toDouble());
        for (int i = 0; i < runBegan_.size(); ++i)
            if (std::abs(runBegan_[i] - before) <= kSameRunMs) {
                const int run = runIndex_[i];
                runBegan_ << began;
                runIndex_ << run;
                return run;
            }
    }
    for (int i = 0; i < runBegan_.size(); ++i)
        if (std::abs(runBegan_[i] - began) <= kSameRunMs)
            return runIndex_[i];
    runBegan_ << began;
    runIndex_ << runs_;
    return runs_++;
}

void AuditTrailBuilder::add(const QJsonObject &event)
{
    Item item;
    item.event = event;
    item.run = runOf(event, item.mono);
    item.clocked = event.value(QStringLiteral("mono_ms")).isDouble()
                   && QDateTime::fromString(event.value(QStringLiteral("utc")).toString(), Qt::ISODateWithMs).isValid();
    const QDateTime utc = QDateTime::fromString(event.value(QStringLiteral("utc")).toString(), Qt::ISODateWithMs);
    item.utc = utc.isValid() ? utc.toMSecsSinceEpoch() : lastUtc_;
    lastUtc_ = item.utc;
    item.chain = int(items_.size());
    lastRun_ = item.run;
    lastMono_ = item.mono;
    items_ << item;
}

QList<ReportEvent> AuditTrailBuilder::result() const
{
    // 1. In time order: run by run, then the run's own clock, then the chain.
    QList<Item> sorted = items_;
    // At one instant, a recording's "begin" comes after what led to it:
    // the chain holds the begin first (the recording's identity opens it)
    // and what happened before it in the run after, carried over; what the
    // begin itself brings (the settings and sample in force) follows it.
    // An event without clocks of its own stays where the chain has it.
    const auto atOneInstant = [](const Item &i) {
        if (!i.clocked)
            return 0;
        if (i.event.value(QStringLiteral("event")).toString() == QLatin1String("begin"))
            return 1;
        return i.event.value(QStringLiteral("in_force")).toBool() ? 2 : 0;
    };
    std::stable_sort(sorted.begin(), sorted.end(), [&atOneInstant](const Item &a, const Item &b) {
        // The same millisecond on the run's clock: the computer's, finer
        // where it reads finer.
        if (a.run != b.run)
            return a.run < b.run;
        if (a.mono != b.mono)
            return a.mono < b.mono;
        if (a.utc != b.utc)
            return a.utc < b.utc;
        return a.clocked && b.clocked && atOneInstant(a) < atOneInstant(b);
    });
    // 2. Each with its name and what it says; a settings frame against the
    // one before it.
    QList<ReportEvent> out;
    QJsonObject lastSettings;
    for (const Item &item : sorted) {
        const QJsonObject &e = item.event;
        const QString kind = e.value(QStringLiteral("event")).toString();
        QString detail;
        if (kind == QLatin1String("settings")) {
            detail = settingsChange(lastSettings, e);
            lastSettings = e;
        } else {
            detail = plainDetail(e);
        }
        out << ReportEvent{e.value(QStringLiteral("utc")).toString(), e.value(QStringLiteral("local")).toString(),
                           auditEventName(kind), detail};
    }
    return out;
}
