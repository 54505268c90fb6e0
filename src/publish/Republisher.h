#pragma once
#include "publish/MqttOptions.h"
#include "record/RecordStore.h"

#include <QDateTime>
#include <QObject>

#include <functional>

// Sends stored recordings to the broker again, each message as the live
// publisher first sent it (same topic, same key: meter, recording, seq), in
// order, QoS 1, and waits for every acknowledgement. For a consumer that
// missed messages (no persistent session, a broker that lost its store).
//
// The store's ledger of what the live publisher delivered is not touched,
// nor is the meter's retained status or meta: only readings and events go.
class Republisher : public QObject
{
    Q_OBJECT
public:
    Republisher(RecordStore &store, const MqttSettings &settings, QObject *parent = nullptr);

    // Sends `recordings` in the order given; every outcome is said through
    // `say`, one line a recording. True when the broker acknowledged (and,
    // under MQTT 5, took) every entry.
    bool run(const QList<RecordingInfo> &recordings, const std::function<void(const QString &)> &say);

    static constexpr int kWindow = 100;   // unacknowledged at a time

private:
    RecordStore &store_;
    MqttSettings settings_;
};

namespace republish {

// The recordings to send: `id` alone (> 0), or every one started at or
// after `since`; "" in `error` unless the store could not say.
QList<RecordingInfo> select(RecordStore &store, qint64 id, const QDateTime &since, QString &error);

// --since's time: ISO 8601, with an offset or in local time; a date alone
// is its midnight. Invalid when it is none of these.
QDateTime parseSince(const QString &text);

} // namespace republish
