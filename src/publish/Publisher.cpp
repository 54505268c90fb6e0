#include "publish/Publisher.h"

#include "publish/MqttLink.h"
#include "publish/MqttMessages.h"
#include "record/DeviceIdentity.h"
#include "record/Recorder.h"
#include "shell/MainCore.h"
#include "shell/PortNames.h"

#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSysInfo>

namespace {

QByteArray compact(const QJsonObject &o)
{
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
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
    link_ = new MqttLink(settings_, prefix_ + QStringLiteral("/status"), this);
    connect(link_, &MqttLink::up, this, &Publisher::onUp);
    connect(link_, &MqttLink::down, this, &Publisher::onDown);
    connect(link_, &MqttLink::acknowledged, this, &Publisher::onAcknowledged);
    link_->start();
    return true;
}

void Publisher::onUp()
{
    const QString url = settings_.broker.text();
    // Everything not acknowledged goes again, from the store, in order.
    inFlight_.clear();
    cursor_ = ledger_->firstUnacknowledged();
    writeAcknowledged();
    const Reach was = std::exchange(reach_, Reach::Up);
    link_->publish(prefix_ + QStringLiteral("/status"), "online", true);
    sendMeta(true);
    pump();
    if (was == Reach::Down) {
        emit brokerBack(QStringLiteral("the broker at %1 takes readings again; what was held is being sent").arg(url));
        recorder_.note(QStringLiteral("broker_back"), {{QStringLiteral("broker"), url}});
    } else if (was == Reach::Unknown) {
        emit connected(QStringLiteral("publishing to %1 under %2/").arg(url, prefix_));
    }
}

void Publisher::onDown(const QString &reason)
{
    writeAcknowledged();
    inFlight_.clear();
    cursor_ = {};
    const Reach was = std::exchange(reach_, Reach::Down);
    if (was == Reach::Down)
        return;
    const QString url = settings_.broker.text();
    QString why = reason;
    while (why.endsWith(QLatin1Char('.')))
        why.chop(1);
    emit brokerLost(QStringLiteral("%1 %2: %3. Logging goes on; the readings are kept in the recordings store and "
                                   "sent when the broker is back.")
                        .arg(was == Reach::Up ? QStringLiteral("lost the broker at") : QStringLiteral("cannot reach the broker at"),
                             url, why));
    recorder_.note(QStringLiteral("broker_lost"), {{QStringLiteral("broker"), url}, {QStringLiteral("reason"), why}});
}

void Publisher::onAcknowledged(int mid)
{
    for (Out &o : inFlight_)
        if (o.mid == mid)
            o.acked = true;
    // The acknowledged front; written to the store once the acknowledgements
    // that came together are all in, one write per recording.
    while (!inFlight_.empty() && inFlight_.front().acked) {
        const Out o = inFlight_.front();
        inFlight_.pop_front();
        acked_[o.recording] = o.seq;
    }
    if (!acked_.isEmpty() && !ackWrite_.isActive())
        ackWrite_.start();
    // Refilled by halves: one read of the store for many messages.
    if (inFlight_.size() <= std::size_t(kWindow / 2))
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
    if (!link_ || !link_->connected())
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
    const QJsonObject body = QJsonDocument::fromJson(e.body).object();
    bool metaChanged = false;
    QJsonObject message;
    QString topic;
    if (e.kind == QLatin1String("row")) {
        context_.model = meta_.model;
        message = mqttmsg::reading(context_, e.seq, body);
        topic = prefix_ + QStringLiteral("/reading");
    } else {
        const QString name = body.value(QStringLiteral("event")).toString();
        if (name == QLatin1String("begin")) {
            context_.header.clear();
            for (const QJsonValue &v : body.value(QStringLiteral("header")).toArray())
                context_.header << v.toString();
        } else if (name == QLatin1String("model")) {
            meta_.model = body.value(QStringLiteral("code")).toString();
            metaChanged = true;
        } else if (name == QLatin1String("settings")) {
            meta_.settings = body;
            metaChanged = true;
        } else if (name == QLatin1String("port_opened")) {
            meta_.device = body.value(QStringLiteral("device")).toString();
            meta_.stableDevice = body.value(QStringLiteral("stable")).toString();
            metaChanged = true;
        }
        message = mqttmsg::event(context_, e.seq, body);
        topic = prefix_ + QStringLiteral("/event");
    }
    const int mid = link_->publish(topic, compact(message), false);
    if (mid == 0)
        return false;   // the link went; everything from the last acknowledged goes again
    inFlight_.push_back(Out{mid, cursor_.recording, e.seq, false});
    cursor_.seq = e.seq;
    if (metaChanged)
        sendMeta();
    return true;
}

void Publisher::sendMeta(bool always)
{
    // Sent again only when it says something new: the settings in force
    // are repeated at the start of every recording.
    const QByteArray m = compact(mqttmsg::meta(meta_));
    if ((always || m != metaSent_) && link_->publish(prefix_ + QStringLiteral("/meta"), m, true) > 0)
        metaSent_ = m;
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
            if (!link_->connected() || (inFlight_.empty() && ledger_->firstUnacknowledged().recording == 0))
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
