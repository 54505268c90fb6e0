#pragma once
#include <QJsonObject>
#include <QString>
#include <QStringList>

class SqliteDb;
struct RecordingInfo;

// The store's ledger: recordings chained to one another as entries are.
//
// A recording's first entry (its "begin" event) carries, under "ledger", the
// recording the store held last when it was created: its id, uuid, number of
// entries and the hash of its last entry then ({} for the first recording of
// a store). The first entry is written in the same transaction that gives
// the recording its id, so the one named is the one with the next lower id,
// also with several programs writing into one store. A recording removed
// from the store, or put back changed, then shows in the recording after it:
// the uuid it names is missing, or its entry no longer has that hash.
namespace ledger {

// What the first entry of the next recording carries: the last recording
// of the store now, read inside the caller's transaction. False when the
// store could not be read (db.error() says why).
bool tail(SqliteDb &db, QJsonObject &link);

// What is wrong with `rec`'s place in the ledger, given its first entry's
// `link`; empty when nothing is. A store read that fails is named too.
QStringList check(SqliteDb &db, const RecordingInfo &rec, const QJsonObject &link);

// Recordings given ids above the highest the store still has (the last
// ones, which no later recording names), as "recordings 7 to 8 were
// removed"; empty when none were.
QString removedAtEnd(SqliteDb &db);

} // namespace ledger
