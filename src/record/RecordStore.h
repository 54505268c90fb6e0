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
    QString endedHow;              // see EndHow.h; empty: cut off (a crash, a power cut)
    QString host, user, version, device, stableDevice, model;
    qint64 rows = 0, entries = 0;
    QByteArray lastHash;
    QString display;               // the window's last state, for a restore (JSON)
    bool endInferred = false;      // ended, endedHow told by a later recording of its run (EndFromRun.h)
};

// The recordings store: one SQLite database in a folder of the user's data,
// written ahead (WAL), so a killed program loses nothing that was committed
// and a reader (a second window, the sqlite3 tool) never blocks the writer.
//
//   recording  one row per recording (start, end, how it ended, who, where)
//   entry      its rows and events in order, each with its link in the chain
//   readings, events, settings   views for reading it by hand
// Its layout and how an older store is brought up to date: StoreSchema.h.

class RecordStore
{
public:
    static QString defaultFolder();
    // The store in `folder`: recordings.sqlite, or recordings.2.sqlite (.3,
    // ...) where that name holds another program's file or a newer store's,
    // which stay untouched.
    static QString fileIn(const QString &folder);

    // Write: opens the store (creating the folder and the database where
    // needed, bringing an older store up to date). Read: opens an existing
    // store and writes nothing. Either refuses a file that is not a TQ800
    // store, or is one of a newer version, without touching it.
    enum class Access { Write, Read };
    // A damaged file in the store's place (not SQLite, cut short) is moved
    // aside to recordings.sqlite.unreadable-<time> when writing, never
    // deleted, and a new store made; notice() then says so, naming both.
    bool open(const QString &folder, Access access = Access::Write);
    bool isOpen() const { return db_.isOpen(); }
    bool writable() const { return db_.isOpen() && access_ == Access::Write; }
    void close() { db_.close(); }
    QString folder() const { return folder_; }
    QString file() const { return file_; }
    QString error() const { return db_.error(); }
    // Another program holds the database for a moment (its own transaction):
    // worth trying again soon, not worth a warning.
    bool busy() const;
    // How long a write waits for another program's transaction (at the end
    // of a run, longer than on the receive tick).
    void waitWhenBusy(int ms);
    // What the last open() did that the user should hear of (empty: nothing).
    QString notice() const { return notice_; }

    // Whether the file open is still the one at its path (not removed,
    // replaced, its folder gone); if not, `why` says what happened.
    bool stillInPlace(QString *why) const;

    // One transaction: creates `rec` in the store if it has no id yet (and
    // gives it one), adds `entries`, and updates the recording's counts,
    // last hash, display state and (if given) its end. All or nothing.
    // The entries are linked here, after rec.lastHash: an entry 1 first gets
    // the store's ledger link (Ledger.h) in its body, read in the same
    // transaction. `expectEntries` (>= 0): refused unless the stored
    // recording still has that many entries (nobody wrote meanwhile).
    bool commit(RecordingInfo &rec, QList<hashchain::Entry> entries, qint64 newRows, qint64 expectEntries = -1);

    // With the end a later recording of the same run gives one that has
    // none of its own (stores of the first layout: EndFromRun.h).
    // "None" and "could not be read" differ: after either call, readFailed()
    // tells, and error() then says what was being read and why it failed
    // ("reading recording 3: database disk image is malformed").
    QList<RecordingInfo> list();
    std::optional<RecordingInfo> recording(qint64 id);
    bool readFailed() const { return readFailed_; }
    // The recording's entries in order, `kind` "" for all; false on failure
    // (error() says which recording and why), true when `f` stopped early.
    bool forEachEntry(qint64 id, const QString &kind, const std::function<bool(const hashchain::Entry &)> &f);

    // Checks the chain entry by entry, and that nothing was cut off its end.
    // Entries the store cannot give back are "unreadable", with SQLite's
    // reason and the first line of its integrity check, not "removed".
    // `seen`, where given, gets every entry of the recording in order, also
    // those after a break in the chain: a caller that wants them all (the
    // report's events) needs no walk of its own.
    hashchain::Verdict verify(const RecordingInfo &rec,
                              const std::function<void(const hashchain::Entry &)> &seen = {});
    // The first line of PRAGMA integrity_check ("ok" for a sound file).
    QString integrityCheck();

    // Hands what the log has gathered to the disk (at most once a second).
    void checkpoint();

    SqliteDb &db() { return db_; }

private:
    // Records `what` was being read when the store failed; returns false.
    bool readError(const QString &what);
    hashchain::Verdict verifyHere(const RecordingInfo &rec, const std::function<void(const hashchain::Entry &)> &seen,
                                  qint64 given);
    // Makes `v` the verdict on entries the store failed to give back after
    // the first v.entries, for SQLite's reason `why`.
    void unreadable(hashchain::Verdict &v, const RecordingInfo &rec, const QString &why);

    SqliteDb db_;
    bool readFailed_ = false;
    Access access_ = Access::Write;
    QString folder_, file_, notice_;
    quint64 dev_ = 0, ino_ = 0;
    bool openBusy_ = false;
    int busyMs_ = 5;   // the last open() failed on another program's lock
};

// Makes `folder` and any missing folder above it with mode 0700 (less where
// the umask takes more): the store's folder is the user's alone.
bool makePrivateFolder(const QString &folder);
