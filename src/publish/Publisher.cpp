#include "publish/Publisher.h"

#include "publish/BrokerWords.h"
#include "publish/EntryMessage.h"
#include "publish/MqttLink.h"
#include "publish/MqttMessages.h"
#include "record/DeviceIdentity.h"
#include "record/Recorder.h"
#include "shell/MainCore.h"
#include "shell/PortNames.h"

#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLocale>
#include <QSysInfo>

namespace {

QByteArray compact(const QJsonObject &o)
{
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

// "2 minutes", "1.5 s": a time the user is told.
QString duration(int ms)
{
    if (ms >= 60000 && ms % 60000 == 0)
        return ms == 60000 ? QStringLiteral("minute") : QStringLiteral("%1 minutes").arg(ms / 60000);
    return QStringLiteral("%1 s").arg(QLocale::c().toString(ms / 1000.0, 'g', 6));
}

QString withoutStop(QString s)
{
    while (s.endsWith(QLatin1Char('.')))
        s.chop(1);
    return s;
}

} // namespace

Publisher::Publisher(Recorder &recorder, MainCore &core, const MqttSettings &settings, const QString &device,
                     QObject *parent)
    : QObject(parent), recorder_(recorder), settings_(settings),
      device_(device.isEmpty() ? QString() : portnames::deviceForText(device))   // as the store names it
{
    const QString stable = device_.isEmpty() ? QString() : stableDeviceName(device_);
    meter_ = device_.isEmpty() ? QSysInfo::machineHostName() : meterId(device_, stable);
    prefix_ = settings.topic.isEmpty() ? QStringLiteral("tq800/") + meter_ : settings.topic;
    target_ = settings.broker.text() + QLatin1Char(' ') + prefix_;
    clientId_ = settings.clientId.isEmpty() ? mqttopts::defaultClientId(meter_) : settings.clientId;
    meta_.meter = meter_;
    meta_.device = device_;
    meta_.stableDevice = stable;
    context_.meter = meter_;
    // Another meter answering on this port (a replug, a swap): said in the
    // store, so that its readings are not taken for the first one's.
    connect(&core, &MainCore::frameHandled, this, [this, &core](const QString &content) {
        if (!content.startsWith(QLatin1Char('M')))
            return;
        const QString code = core.m.ModelCode.toString();
        if (!lastModel_.isEmpty() && !code.isEmpty() && code != lastModel_)
            recorder_.note(QStringLiteral("meter_changed"), {{QStringLiteral("meter"), meter_},
                                                            {QStringLiteral("before"), lastModel_},
                                                            {QStringLiteral("after"), code}});
        if (!code.isEmpty())
            lastModel_ = code;
    });
}

Publisher::~Publisher() = default;

QString Publisher::meterId(const QString &device, const QString &stableName)
{
    return tidy::meterId(device, stableName);
}

bool Publisher::start()
{
    RecordStore &store = recorder_.store();
    ledger_ = std::make_unique<PublishLedger>(store, target_, device_);
    if (!store.isOpen() || !ledger_->open()) {
        error_ = store.error();
        return false;
    }
    const PublishLedger::Latest latest = ledger_->latest();
    if (latest.recording > 0) {
        meta_.model = lastModel_ = latest.model;
        meta_.settings = latest.settings;
        if (meta_.stableDevice.isEmpty())
            meta_.stableDevice = latest.stableDevice;
    }
    connect(&recorder_, &Recorder::written, this, &Publisher::pump);
    ackWrite_.setSingleShot(true);
    ackWrite_.setInterval(0);
    connect(&ackWrite_, &QTimer::timeout, this, &Publisher::writeAcknowledged);
    refusedRetry_.setSingleShot(true);
    refusedRetry_.setInterval(settings_.refusedRetryMs);
    connect(&refusedRetry_, &QTimer::timeout, this, &Publisher::retryRefused);
    outage_.setSingleShot(true);
    outage_.setInterval(settings_.flapMs);
    connect(&outage_, &QTimer::timeout, this, [this] {
        if (reach_ == Reach::Down)
            tellLost(true);
    });
    steady_.setSingleShot(true);
    steady_.setInterval(settings_.steadyMs);
    connect(&steady_, &QTimer::timeout, this, &Publisher::tellFlaps);
    link_ = new MqttLink(settings_, MqttSession{clientId_, true, prefix_ + QStringLiteral("/status")}, this);
    connect(link_, &MqttLink::up, this, &Publisher::onUp);
    connect(link_, &MqttLink::down, this, &Publisher::onDown);
    connect(link_, &MqttLink::acknowledged, this, &Publisher::onAcknowledged);
    connect(link_, &MqttLink::warning, this, &Publisher::warning);
    link_->start();
    return true;
}

void Publisher::onUp()
{
    const QString url = settings_.broker.text();
    outage_.stop();
    // Everything not acknowledged goes again, from the store, in order; what
    // the broker refused is offered again too.
    inFlight_.clear();
    loose_.clear();
    held_ = false;
    refusedRetry_.stop();
    cursor_ = ledger_->firstUnacknowledged();
    writeAcknowledged();
    const Reach was = std::exchange(reach_, Reach::Up);
    sendStatus();
    sendMeta(true);
    pump();
    if (std::exchange(lostTold_, false)) {
        emit brokerBack(QStringLiteral("the broker at %1 takes readings again; what was held is being sent").arg(url));
        recorder_.note(QStringLiteral("broker_back"), {{QStringLiteral("broker"), url}});
    } else if (was == Reach::Down) {
        // Back before anyone was told: a flap, summed up once the
        // connection holds.
        if (flaps_++ == 0)
            flapsSince_ = QDateTime::currentDateTime();
        flapReason_ = lostReason_;
    } else if (was == Reach::Unknown) {
        emit connected(QStringLiteral("publishing to %1 under %2/ as %3").arg(url, prefix_, clientId_));
    }
    if (flaps_ > 0)
        steady_.start();
}

void Publisher::onDown(const QString &reason)
{
    writeAcknowledged();
    inFlight_.clear();
    loose_.clear();
    cursor_ = {};
    held_ = false;
    refusedRetry_.stop();
    steady_.stop();
    const Reach was = std::exchange(reach_, Reach::Down);
    if (was == Reach::Down)
        return;
    lostReason_ = withoutStop(reason);
    // Not reached at the start is said at once; a connection that breaks
    // is said only if it stays broken for longer than a flap.
    if (was == Reach::Unknown)
        tellLost(false);
    else
        outage_.start();
}

void Publisher::tellLost(bool wasUp)
{
    lostTold_ = true;
    const QString url = settings_.broker.text();
    emit brokerLost(QStringLiteral("%1 %2: %3. Logging goes on; the readings are kept in the recordings store and "
                                   "sent when the broker is back.")
                        .arg(wasUp ? QStringLiteral("lost the broker at") : QStringLiteral("cannot reach the broker at"),
                             url, lostReason_));
    recorder_.note(QStringLiteral("broker_lost"), {{QStringLiteral("broker"), url}, {QStringLiteral("reason"), lostReason_}});
}

void Publisher::tellFlaps()
{
    if (flaps_ == 0 || reach_ != Reach::Up)
        return;
    const QString url = settings_.broker.text();
    const QString since = flapsSince_.toString(Qt::ISODateWithMs);
    emit info(QStringLiteral("the connection to the broker at %1 broke %2 times since %3, each time for less than %4 "
                             "(the last: %5); nothing was lost")
                  .arg(url).arg(flaps_).arg(since, duration(settings_.flapMs), flapReason_));
    recorder_.note(QStringLiteral("broker_flaps"), {{QStringLiteral("broker"), url},
                                                    {QStringLiteral("count"), flaps_},
                                                    {QStringLiteral("since"), since},
                                                    {QStringLiteral("reason"), flapReason_}});
    flaps_ = 0;
}

void Publisher::onAcknowledged(int mid, int reason)
{
    const bool refused = reason >= MqttLink::kRefusedFrom;
    if (const auto l = loose_.find(mid); l != loose_.end()) {
        const QString topic = *l;
        loose_.erase(l);
        if (!refused)
            return tellAccepted(topic);
        // Status and meta hold nothing up, but are offered again too.
        tellRefused(topic, reason);
        if (!held_ && !refusedRetry_.isActive())
            refusedRetry_.start();
        return;
    }
    for (Out &o : inFlight_)
        if (o.mid == mid) {
            const QString topic = prefix_ + (o.reading ? QStringLiteral("/reading") : QStringLiteral("/event"));
            if (refused) {
                // Held before anything is said: the event said goes into
                // the store, whose news would otherwise send more.
                o.refused = held_ = true;
                tellRefused(topic, reason);
            } else {
                o.acked = true;
                tellAccepted(topic);
            }
            break;
        }
    // The acknowledged front, up to a refused entry; written to the store
    // once the acknowledgements that came together are all in, one write
    // per recording.
    while (!inFlight_.empty() && inFlight_.front().acked) {
        const Out o = inFlight_.front();
        inFlight_.pop_front();
        acked_[o.recording] = o.seq;
    }
    if (!acked_.isEmpty() && !ackWrite_.isActive())
        ackWrite_.start();
    if (held_)
        return settleRefused();
    // Refilled by halves: one read of the store for many messages.
    if (inFlight_.size() <= std::size_t(kWindow / 2))
        pump();
}

void Publisher::tellRefused(const QString &topic, int reason)
{
    const bool first = refusedTopics_.isEmpty();
    refusedTopics_.insert(topic);
    if (!first)
        return;
    const QString url = settings_.broker.text();
    const QString words = brokerwords::reason(reason);
    emit refused(QStringLiteral("the broker at %1 refused a message on %2: %3. Logging goes on; the readings are "
                                "kept in the recordings store and offered again every %4 and at every reconnect.")
                     .arg(url, topic, words, duration(settings_.refusedRetryMs)));
    recorder_.note(QStringLiteral("broker_refused"), {{QStringLiteral("broker"), url},
                                                      {QStringLiteral("topic"), topic},
                                                      {QStringLiteral("code"), reason},
                                                      {QStringLiteral("reason"), words}});
}

void Publisher::tellAccepted(const QString &topic)
{
    if (refusedTopics_.remove(topic) && refusedTopics_.isEmpty())
        emit accepted(QStringLiteral("the broker at %1 takes what it refused; what was held is being sent")
                          .arg(settings_.broker.text()));
}

void Publisher::settleRefused()
{
    // Once every message out has its answer, the run starts again from
    // the first the broker did not take, at the retry.
    for (const Out &o : inFlight_)
        if (!o.acked && !o.refused)
            return;
    writeAcknowledged();
    inFlight_.clear();
    cursor_ = {};
    refusedRetry_.start();
}

void Publisher::retryRefused()
{
    // Held entries still waiting for their answers: the retry comes once
    // they are settled.
    if (held_ && !inFlight_.empty())
        return;
    held_ = false;
    if (!link_->connected())
        return;
    sendStatus();
    sendMeta(true);
    pump();
}

void Publisher::writeAcknowledged()
{
    for (auto i = acked_.cbegin(); i != acked_.cend(); ++i)
        ledger_->acknowledge(i.key(), i.value());
    acked_.clear();
}

void Publisher::pump()
{
    if (!link_ || !link_->connected() || held_)
        return;
    while (inFlight_.size() < std::size_t(kWindow)) {
        if (cursor_.recording == 0) {
            cursor_ = ledger_->firstUnacknowledged();
            if (cursor_.recording == 0)
                return;
        }
        const QList<hashchain::Entry> entries
            = ledger_->entriesAfter(cursor_.recording, cursor_.seq, kWindow - int(inFlight_.size()));
        if (entries.isEmpty()) {
            // This recording is sent; a later one, or (all acknowledged)
            // an earlier one that grew again (a restored recording).
            PublishLedger::Position next = ledger_->nextAfter(cursor_.recording);
            if (next.recording == 0 && inFlight_.empty()) {
                next = ledger_->firstUnacknowledged();
                if (next.recording == cursor_.recording)
                    next = {};
            }
            if (next.recording == 0)
                return;
            cursor_ = next;
            continue;
        }
        // A message the library would not take stops the run here: the
        // next one would otherwise be acknowledged past it.
        for (const hashchain::Entry &e : entries)
            if (!take(e))
                return;
    }
}

bool Publisher::take(const hashchain::Entry &e)
{
    if (context_.recording != cursor_.recording) {
        context_.recording = cursor_.recording;
        context_.header = ledger_->header(cursor_.recording);
    }
    const EntryMessage m = entryMessage(context_, meta_, prefix_, e);
    const int mid = link_->publish(m.topic, compact(m.body), false);
    if (mid == 0)
        return false;   // the link went; everything from the last acknowledged goes again
    inFlight_.push_back(Out{mid, cursor_.recording, e.seq, m.reading, false, false});
    cursor_.seq = e.seq;
    if (m.metaChanged)
        sendMeta();
    return true;
}

void Publisher::sendStatus()
{
    const QString topic = prefix_ + QStringLiteral("/status");
    if (const int mid = link_->publish(topic, "online", true); mid > 0)
        loose_[mid] = topic;
}

void Publisher::sendMeta(bool always)
{
    // Sent again only when it says something new: the settings in force
    // are repeated at the start of every recording.
    const QByteArray m = compact(mqttmsg::meta(meta_));
    if (!always && m == metaSent_)
        return;
    const QString topic = prefix_ + QStringLiteral("/meta");
    if (const int mid = link_->publish(topic, m, true); mid > 0) {
        metaSent_ = m;
        loose_[mid] = topic;
    }
}

void Publisher::finish(int ms)
{
    if (!link_)
        return;
    if (link_->connected()) {
        // What the end of the run wrote (its exit event) goes first.
        pump();
        QEventLoop wait;
        QTimer limit;
        limit.setSingleShot(true);
        connect(&limit, &QTimer::timeout, &wait, &QEventLoop::quit);
        auto check = [this, &wait] {
            writeAcknowledged();
            if (!link_->connected() || held_ || (inFlight_.empty() && ledger_->firstUnacknowledged().recording == 0))
                wait.quit();
        };
        connect(link_, &MqttLink::acknowledged, &wait, check, Qt::QueuedConnection);
        connect(link_, &MqttLink::down, &wait, &QEventLoop::quit);
        limit.start(ms);
        QTimer::singleShot(0, &wait, check);
        wait.exec();
    }
    writeAcknowledged();
    link_->finish("offline", 1000);
}
