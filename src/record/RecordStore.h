#pragma once
#include "record/HashChain.h"
#include "record/SqliteDb.h"

#include <QList>
#include <QString>

#include <functional>
#include <optional>

// One recording as the store lists it.
struct RecordingInfo
{
    qint64 id = 0;                 // 0 until first written
    QString uuid;
    QString started, ended;        // ISO 8601 with the UTC offset; ended empty while open
    QString endedHow;              // "Export", "Exit", "closed", or empty
    QString host, user, version, device, stableDevice, model;
    qint64 rows = 0, entries = 0;
    QByteArray lastHash;
    QString display;               // the window's last state, for a restore (JSON)
};

// The recordings store: one SQLite database in a folder of the user's data,
// written ahead (WAL), so a killed program loses nothing that was committed
// and a reader (a second window, the sqlite3 tool) never blocks the writer.
//
//   recording  one row per recording (start, end, how it ended, who, where)
//   entry      its rows and events in order, each with its link in the chain
//   readings, events, settings   views for reading it by hand
// The document properties an export of `rec` carries: its id, uuid and
// fingerprint (the last hash written).
QList<std::pair<QString, QString>> exportProperties(const RecordingInfo &rec);

class RecordStore
{
public:
    static QString defaultFolder();
    static QString fileIn(const QString &folder);

    // Opens (creating the folder and the database where needed).
    bool open(const QString &folder);
    bool isOpen() const { return db_.isOpen(); }
    void close() { db_.close(); }
    QString folder() const { return folder_; }
    QString error() const { return db_.error(); }

    // One transaction: creates `rec` in the store if it has no id yet (and
    // gives it one), adds `entries`, and updates the recording's counts,
    // last hash, display state and (if given) its end. All or nothing.
    bool commit(RecordingInfo &rec, const QList<hashchain::Entry> &entries, qint64 newRows);
    bool markEnded(qint64 id, const QString &ended, const QString &how);

    QList<RecordingInfo> list();
    std::optional<RecordingInfo> recording(qint64 id);
    // The recording's entries in order, `kind` "" for all; false on failure.
    bool forEachEntry(qint64 id, const QString &kind, const std::function<bool(const hashchain::Entry &)> &f);

    // Checks the chain entry by entry, and that nothing was cut off its end.
    // `seen`, where given, gets every entry of the recording in order, also
    // those after a break in the chain: a caller that wants them all (the
    // report's events) needs no walk of its own.
    hashchain::Verdict verify(const RecordingInfo &rec,
                              const std::function<void(const hashchain::Entry &)> &seen = {});

    // Hands what the log has gathered to the disk (at most once a second).
    void checkpoint();

    SqliteDb &db() { return db_; }

private:
    bool createSchema();
    hashchain::Verdict verifyHere(const RecordingInfo &rec, const std::function<void(const hashchain::Entry &)> &seen,
                                  qint64 given);

    SqliteDb db_;
    QString folder_;
};
