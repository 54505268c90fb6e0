#pragma once
#include "record/HashChain.h"

#include <QJsonObject>
#include <QStringList>

// The JSON the broker carries, made from what the recordings store holds.
// Every message names the meter; a reading and an event carry their key,
// recording id and entry sequence number, by which a consumer drops a
// repeat of what was in flight when a connection broke.
namespace mqttmsg {

struct Context
{
    QString meter;          // the meter id
    QString model;          // its model code, as last announced
    qint64 recording = 0;
    QStringList header;     // the recording's column captions
};

// The family a table layout belongs to ("pH", "mV", "ISE", "COND", "DO"),
// its index 0..4 in `index`; "" and -1 for a header no layout has.
QString familyOf(const QStringList &header, int *index = nullptr);

// A completed table row (`body` as the store keeps it) as a reading.
QJsonObject reading(const Context &c, qint64 seq, const QJsonObject &body);
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
