#include "publish/Republisher.h"

#include "publish/BrokerWords.h"
#include "publish/EntryMessage.h"
#include "publish/MqttLink.h"
#include "publish/PublishLedger.h"
#include "publish/Publisher.h"

#include <QEventLoop>
#include <QJsonDocument>
#include <QSysInfo>

#include <deque>

namespace {

QString meterOf(const RecordingInfo &r)
{
    return r.device.isEmpty() ? QSysInfo::machineHostName() : Publisher::meterId(r.device, r.stableDevice);
}

// One recording's account.
struct Tally
{
    qint64 entries = 0, acked = 0, refused = 0;
    QString refusal;   // the first, in words with its topic
};

} // namespace

Republisher::Republisher(RecordStore &store, const MqttSettings &settings, QObject *parent)
    : QObject(parent), store_(store), settings_(settings)
{
}

bool Republisher::run(const QList<RecordingInfo> &recordings, const std::function<void(const QString &)> &say)
{
    if (recordings.isEmpty())
        return true;
    // A client of its own beside the live publisher's (the same id would
    // throw that one off), and no session kept: this one does not come back.
    const QString id = settings_.clientId.isEmpty() ? mqttopts::defaultClientId(meterOf(recordings.first()))
                                                          + QStringLiteral("-republish")
                                                    : settings_.clientId;
    MqttLink link(settings_, MqttSession{id, false, {}});
    connect(&link, &MqttLink::warning, this, [&say](const QString &text) { say(text); });
    const QString url = settings_.broker.text();

    QEventLoop loop;
    QString lost;
    bool up = false;
    connect(&link, &MqttLink::up, &loop, [&] {
        up = true;
        loop.quit();
    });
    connect(&link, &MqttLink::down, &loop, [&](const QString &reason) {
        lost = reason;
        loop.quit();
    });
    link.start();
    loop.exec();
    if (!up) {
        say(QStringLiteral("cannot reach the broker at %1: %2; nothing was sent").arg(url, lost));
        return false;
    }

    PublishLedger reader(store_, QString(), QString());
    std::vector<Tally> tally(std::size_t(recordings.size()));
    struct Out { int mid; std::size_t recording; QString topic; };
    std::deque<Out> inFlight;
    std::size_t current = 0;
    qint64 afterSeq = 0;
    mqttmsg::Context context;
    mqttmsg::Meta meta;
    QString prefix;
    bool done = false;

    // Hands over entries until kWindow are out or everything is.
    auto feed = [&] {
        while (!done && lost.isEmpty() && inFlight.size() < std::size_t(kWindow)) {
            const RecordingInfo &r = recordings[qsizetype(current)];
            if (afterSeq == 0) {
                const QString meter = meterOf(r);
                prefix = settings_.topic.isEmpty() ? QStringLiteral("tq800/") + meter : settings_.topic;
                // As the live publisher starts a recording: its last header,
                // the model it was made with; its events update both.
                context = {};
                context.meter = meter;
                context.recording = r.id;
                context.header = reader.header(r.id);
                meta = {};
                meta.meter = meter;
                meta.model = r.model;
                meta.device = r.device;
                meta.stableDevice = r.stableDevice;
            }
            const QList<hashchain::Entry> entries = reader.entriesAfter(r.id, afterSeq, kWindow - int(inFlight.size()));
            if (entries.isEmpty()) {
                afterSeq = 0;
                if (++current == std::size_t(recordings.size()))
                    done = true;
                continue;
            }
            for (const hashchain::Entry &e : entries) {
                const EntryMessage m = entryMessage(context, meta, prefix, e);
                const int mid = link.publish(m.topic, QJsonDocument(m.body).toJson(QJsonDocument::Compact), false);
                if (mid == 0) {
                    lost = QStringLiteral("the connection was lost");
                    return;
                }
                ++tally[current].entries;
                inFlight.push_back(Out{mid, current, m.topic});
                afterSeq = e.seq;
            }
        }
    };
    auto finished = [&] { return !lost.isEmpty() || (done && inFlight.empty()); };
    connect(&link, &MqttLink::acknowledged, &loop, [&](int mid, int reason) {
        const auto o = std::find_if(inFlight.begin(), inFlight.end(), [mid](const Out &o) { return o.mid == mid; });
        if (o == inFlight.end())
            return;
        Tally &t = tally[o->recording];
        if (reason >= MqttLink::kRefusedFrom) {
            if (t.refused++ == 0)
                t.refusal = QStringLiteral("the broker refused %1: %2").arg(o->topic, brokerwords::reason(reason));
        } else {
            ++t.acked;
        }
        inFlight.erase(o);
        if (inFlight.size() <= std::size_t(kWindow / 2))
            feed();
        if (finished())
            loop.quit();
    });
    feed();
    if (!finished())
        loop.exec();
    link.finish({}, 1000);

    // Entries never sent (the connection went first) count as not
    // acknowledged; a recording still being written may have grown.
    bool all = true;
    for (std::size_t i = 0; i < tally.size(); ++i) {
        const RecordingInfo &r = recordings[qsizetype(i)];
        const Tally &t = tally[i];
        const qint64 total = std::max(r.entries, t.entries);
        const qint64 missing = total - t.acked;
        if (missing == 0) {
            say(QStringLiteral("recording %1: %2 entries sent again to %3, all acknowledged").arg(r.id).arg(t.acked).arg(url));
            continue;
        }
        all = false;
        QStringList why;
        if (!t.refusal.isEmpty())
            why << t.refusal;
        if (t.acked + t.refused < total)
            why << (lost.isEmpty() ? QStringLiteral("not sent") : lost);
        say(QStringLiteral("recording %1: %2 of %3 entries not delivered to %4 (%5)")
                .arg(r.id).arg(missing).arg(total).arg(url, why.join(QStringLiteral("; "))));
    }
    return all;
}

namespace republish {

QList<RecordingInfo> select(RecordStore &store, qint64 id, const QDateTime &since, QString &error)
{
    error.clear();
    if (id > 0) {
        if (auto r = store.recording(id))
            return {*r};
        error = QStringLiteral("there is no recording %1").arg(id);
        return {};
    }
    QList<RecordingInfo> out;
    for (const RecordingInfo &r : store.list())
        if (QDateTime::fromString(r.started, Qt::ISODateWithMs) >= since)
            out << r;
    return out;
}

QDateTime parseSince(const QString &text)
{
    QDateTime t = QDateTime::fromString(text, Qt::ISODateWithMs);
    if (!t.isValid()) {
        const QDate d = QDate::fromString(text, Qt::ISODate);
        if (d.isValid())
            t = d.startOfDay();
    }
    return t;
}

} // namespace republish
