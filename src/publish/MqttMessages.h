#pragma once
#include "record/HashChain.h"
#include "tidy/Reading.h"

#include <QJsonObject>
#include <QStringList>

// The JSON the broker carries, made from what the recordings store holds.
// Every message names the meter; a reading and an event carry their key,
// recording id and entry sequence number, by which a consumer drops a
// repeat of what was in flight when a connection broke.
namespace mqttmsg {

using Context = tidy::Context;

// A completed table row (`body` as the store keeps it) as a reading: the
// same object the JSON Lines export writes.
inline QJsonObject reading(const Context &c, qint64 seq, const QJsonObject &body)
{
    return tidy::reading(c, seq, body);
}
// An audit event of the store.
QJsonObject event(const Context &c, qint64 seq, const QJsonObject &body);

// What the meta topic holds: who the meter is and what is set on it.
struct Meta
{
    QString meter, model, device, stableDevice;
    QJsonObject settings;   // the store's last settings event: frame, fields, panel
};
QJsonObject meta(const Meta &m);

} // namespace mqttmsg
