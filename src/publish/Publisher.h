#pragma once
#include "publish/MqttMessages.h"
#include "publish/MqttOptions.h"
#include "publish/PublishLedger.h"

#include <QDateTime>
#include <QMap>
#include <QObject>
#include <QSet>
#include <QTimer>

#include <deque>
#include <memory>

class MainCore;
class MqttLink;
class Recorder;

// Forwards the recordings store to the lab's broker: every row as a
// reading, every event, the meter's meta and its status. It reads from the
// store, never from a queue of its own: at most kWindow messages are out
// unacknowledged at a time, and the last acknowledged entry per recording
// is kept in the store, so a broker away for an hour (or a program restarted
// meanwhile) costs disk, not memory, and the readings then go in order.
//
// The broker going away for longer than the settings' flapMs and coming
// back is told once each (brokerLost, brokerBack) and written into the store
// as the events "broker_lost" and "broker_back"; shorter breaks are counted
// and summed up in one event "broker_flaps" once the connection has held
// for steadyMs.
//
// A message the broker refuses (MQTT 5: an ACL that denies the topic) is
// not delivered: the ledger stays before it, the refusal is told once
// (refused) and written as the event "broker_refused", and everything from
// there is offered again at the next connection and every refusedRetryMs.
class Publisher : public QObject
{
    Q_OBJECT
public:
    // `device`: the port the meter is on ("" in the window before one is
    // chosen: then every recording of the store is published).
    Publisher(Recorder &recorder, MainCore &core, const MqttSettings &settings, const QString &device, QObject *parent = nullptr);
    ~Publisher() override;

    // The meter id: the port's /dev/serial/by-id name where it has one,
    // else the device path; '/', '+' and '#' made '_' in the topic.
    static QString meterId(const QString &device, const QString &stableName);

    QString topicPrefix() const { return prefix_; }
    QString clientId() const { return clientId_; }
    bool start();            // false when the store refuses the ledger (error() says why)
    QString error() const { return error_; }

    // At the program's end: sends what the store still holds for at most
    // `ms`, then "offline" as the status, and leaves.
    void finish(int ms);

    static constexpr int kWindow = 100;

signals:
    void brokerLost(const QString &text);
    void brokerBack(const QString &text);
    void connected(const QString &text);     // the first connection
    void refused(const QString &text);       // the broker refuses messages (told once)
    void accepted(const QString &text);      // ... and takes them again
    void warning(const QString &text);       // refusals cannot be heard (MQTT 3.1.1)
    void info(const QString &text);          // the flaps of a while, summed up

private:
    void onUp();
    void onDown(const QString &reason);
    void onAcknowledged(int mid, int reason);
    void writeAcknowledged();
    void pump();
    void sendStatus();
    void sendMeta(bool always = false);
    bool take(const hashchain::Entry &e);   // false: not handed over
    void tellLost(bool wasUp);
    void tellFlaps();
    void tellRefused(const QString &topic, int reason);
    void tellAccepted(const QString &topic);
    void settleRefused();
    void retryRefused();

    Recorder &recorder_;
    MqttSettings settings_;
    QString device_, meter_, prefix_, target_, error_, clientId_;
    std::unique_ptr<PublishLedger> ledger_;
    MqttLink *link_ = nullptr;

    struct Out { int mid; qint64 recording, seq; bool reading, acked, refused; };
    std::deque<Out> inFlight_;          // in the order sent
    QMap<int, QString> loose_;          // status and meta in flight: their topics
    QMap<qint64, qint64> acked_;        // recording -> last acknowledged, not yet written
    QTimer ackWrite_;
    PublishLedger::Position cursor_;    // the last entry handed to the broker
    mqttmsg::Context context_;
    mqttmsg::Meta meta_;
    enum class Reach { Unknown, Up, Down } reach_ = Reach::Unknown;
    // Refusals: the topics refused now; held while the refused are settled
    // and until the retry.
    QSet<QString> refusedTopics_;
    bool held_ = false;
    QTimer refusedRetry_;
    // Outages: told when longer than a flap; flaps counted until steady.
    QTimer outage_, steady_;
    QString lostReason_, flapReason_;
    bool lostTold_ = false;
    int flaps_ = 0;
    QDateTime flapsSince_;
    QByteArray metaSent_;
    QString lastModel_;                 // the model code last announced on this port
};
