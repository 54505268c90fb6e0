#pragma once
#include "record/HashChain.h"

#include <QJsonObject>
#include <QList>
#include <QString>

class RecordStore;

// What of the recordings store has reached a broker, kept in the store
// itself (table `published`): per broker and topic (the "target") and
// recording, the last entry the broker acknowledged. A target seen for the
// first time starts with the recordings made from then on, not the store's
// whole past; after that nothing is skipped, across restarts of the program
// as across outages of the broker.
class PublishLedger
{
public:
    // `device`: only recordings of this device ("" = all of them).
    PublishLedger(RecordStore &store, const QString &target, const QString &device);

    // Creates the table and the target's starting point; false on failure
    // (the store's error() says why).
    bool open();

    struct Position { qint64 recording = 0; qint64 seq = 0; };
    // The first recording (in order) with entries after its acknowledged
    // one, and that one; recording 0 when everything is acknowledged.
    Position firstUnacknowledged();
    // Up to `limit` entries of `recording` after `afterSeq`, in order.
    QList<hashchain::Entry> entriesAfter(qint64 recording, qint64 afterSeq, int limit);
    // The next recording after `recording` with unacknowledged entries (0: none).
    Position nextAfter(qint64 recording);
    bool acknowledge(qint64 recording, qint64 seq);

    // The table's column captions of `recording` (from its "begin" event).
    QStringList header(qint64 recording);
    // The newest recording of the device, with its last settings event (empty if none).
    struct Latest { qint64 recording = 0; QString model, device, stableDevice; QJsonObject settings; };
    Latest latest();

private:
    RecordStore &store_;
    QString target_, device_;
    qint64 base_ = 0;   // the first recording this target publishes
};
