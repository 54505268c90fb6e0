#pragma once
#include <QString>
#include <QtGlobal>

class SqliteDb;

// What the recordings store is, and how an older one is brought up to date.
//
// The file says it is a TQ800 store by its SQLite application id (the bytes
// "TQ80") and gives its layout's version in user_version. The first stores
// had neither (both read 0): a file whose tables and views are all ours is
// one of them, version 1 in effect.
namespace storeschema {

constexpr quint32 kApplicationId = 0x54513830;   // "TQ80"
constexpr int kVersion = 3;
// The first version whose recordings carry their identity and the ledger.
constexpr int kLedgerVersion = 3;

// One step of the layout: the SQL that takes a store from version - 1 to
// `version`. A store runs the steps above its own version, in order; a new
// file all of them. Version 1's step is written so that it leaves a store
// of the first layout as it was (it may lack user_version, not tables).
struct Step
{
    int version;
    const char *sql;
};

// What the file at `path` is, read without writing a byte or making a -wal
// or -shm file beside it: a store of ours at `version` (0 for a missing or
// empty file, 1 for the first layout), or in `refused` why it is not one
// this program may write into.
struct Identity
{
    enum class Refusal { None, Damaged, Foreign, Newer };
    int version = 0;
    QString refused;
    // Why it is refused: a damaged file (not SQLite, cut short, unreadable)
    // may be moved aside; another program's file and a newer store stay.
    Refusal why = Refusal::None;
};
Identity inspect(const QString &path);

// Brings the open store up to kVersion in one transaction, checking inside
// it once more what the file is. False with db.error() saying why.
bool upgrade(SqliteDb &db);

} // namespace storeschema
