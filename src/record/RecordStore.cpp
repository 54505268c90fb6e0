#include "record/RecordStore.h"

#include "record/EndFromRun.h"
#include "record/Ledger.h"
#include "record/StoreSchema.h"
#include "record/ReadAhead.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QDateTime>
#include <QStandardPaths>
#include <QJsonDocument>
#include <QJsonObject>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

#include <sqlite3.h>

#include <algorithm>

namespace {

const char kColumns[] = "id, uuid, started, ended, ended_how, host, os_user, version, device, stable_device, model, "
                        "rows, entries, last_hash, display";

RecordingInfo readInfo(const SqliteStatement &s)
{
    RecordingInfo r;
    r.id = s.integer(0);
    r.uuid = s.text(1);
    r.started = s.text(2);
    r.ended = s.text(3);
    r.endedHow = s.text(4);
    r.host = s.text(5);
    r.user = s.text(6);
    r.version = s.text(7);
    r.device = s.text(8);
    r.stableDevice = s.text(9);
    r.model = s.text(10);
    r.rows = s.integer(11);
    r.entries = s.integer(12);
    r.lastHash = s.blob(13);
    r.display = s.text(14);
    return r;
}

// Entry columns seq, kind, body, hash. The body goes from SQLite's bytes
// into the entry as they are, and the two kinds share one text each: a walk
// over millions of entries copies nothing it need not.
void readEntry(const SqliteStatement &s, hashchain::Entry &e)
{
    static const QString row = QStringLiteral("row"), event = QStringLiteral("event");
    e.seq = s.integer(0);
    const std::string_view kind = s.bytes(1);
    e.kind = kind == "row" ? row : kind == "event" ? event : QString::fromUtf8(kind.data(), qsizetype(kind.size()));
    const std::string_view body = s.bytes(2);
    e.body = QByteArray(body.data(), qsizetype(body.size()));
    e.hash = s.blob(3);
}

} // namespace

QString RecordStore::defaultFolder()
{
    // One folder for the window and the logger alike, whatever each
    // program calls itself.
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)).filePath(QStringLiteral("TQ800"));
}

QString RecordStore::fileIn(const QString &folder)
{
    const QDir dir(folder);
    // Another program's file, or a newer store, keeps its name: ours goes
    // on under the next free one.
    for (int n = 1;; ++n) {
        const QString path = dir.filePath(n == 1 ? QStringLiteral("recordings.sqlite")
                                                 : QStringLiteral("recordings.%1.sqlite").arg(n));
        using R = storeschema::Identity::Refusal;
        const R why = storeschema::inspect(path).why;
        if ((why != R::Foreign && why != R::Newer) || n >= 99)
            return path;
    }
}

bool makePrivateFolder(const QString &folder)
{
    const QString abs = QDir::cleanPath(QDir(folder).absolutePath());
    if (QFileInfo(abs).isDir())
        return true;
    const QString parent = QFileInfo(abs).path();
    if (parent != abs && !makePrivateFolder(parent))
        return false;
    return ::mkdir(QFile::encodeName(abs).constData(), 0700) == 0 || errno == EEXIST;
}

namespace {

// Names what cannot be written, the folder or the file, by asking the
// system (access(2)) rather than taking SQLite's summary for it.
QString unwritable(const QString &folder, const QString &path, const QString &fallback)
{
    const QByteArray dir = QFile::encodeName(folder);
    if (::access(dir.constData(), F_OK) != 0)
        return QStringLiteral("the folder %1 cannot be made: %2").arg(folder, fallback);
    if (::access(dir.constData(), W_OK | X_OK) != 0)
        return QStringLiteral("the folder %1 cannot be written: %2")
            .arg(folder, QString::fromLocal8Bit(std::strerror(errno)));
    const QByteArray file = QFile::encodeName(path);
    if (::access(file.constData(), F_OK) == 0 && ::access(file.constData(), R_OK | W_OK) != 0)
        return QStringLiteral("the file %1 cannot be written: %2")
            .arg(path, QString::fromLocal8Bit(std::strerror(errno)));
    return fallback;
}

bool fileId(const QString &path, quint64 &dev, quint64 &ino)
{
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return false;
    dev = quint64(st.st_dev);
    ino = quint64(st.st_ino);
    return true;
}

} // namespace

bool RecordStore::open(const QString &folder, Access access)
{
    folder_ = folder;
    access_ = access;
    notice_.clear();
    openBusy_ = false;
    eventIndex_ = -1;
    db_.close();
    if (access == Access::Write)
        makePrivateFolder(folder);   // one that cannot be made is named below
    const QString path = fileIn(folder);
    file_ = path;
    if (access == Access::Read && !QFileInfo::exists(path)) {
        // Only another program's file by the store's name: that is the news.
        const QString first = QDir(folder).filePath(QStringLiteral("recordings.sqlite"));
        const storeschema::Identity there = storeschema::inspect(first);
        return db_.refuse(there.refused.isEmpty() ? QStringLiteral("there is no recordings store in %1").arg(folder)
                                                  : there.refused);
    }
    // What the file is, read before a byte is written or a file made beside
    // it: another program's database, or a store of a newer TQ800, stays
    // exactly as it is.
    const storeschema::Identity identity = storeschema::inspect(path);
    if (!identity.refused.isEmpty()) {
        if (access == Access::Read || identity.why != storeschema::Identity::Refusal::Damaged)
            return db_.refuse(identity.refused);
        // A damaged store is kept for whoever can mend it, out of the way.
        const QString aside = path + QStringLiteral(".unreadable-")
            + QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd'T'HHmmss'Z'"));
        if (!QFile::rename(path, aside))
            return db_.refuse(QStringLiteral("%1; it could not be moved aside to %2").arg(identity.refused, aside));
        for (const char *side : {"-wal", "-shm"})
            if (QFileInfo::exists(path + QLatin1String(side)))
                QFile::rename(path + QLatin1String(side), aside + QLatin1String(side));
        notice_ = QStringLiteral("The recordings store %1 could not be read and was moved aside to %2; a new store "
                                 "was made in its place.").arg(path, aside);
    }
    if (access == Access::Read) {
        // A reader reads the layout it finds (every layout keeps the tables
        // it reads) and writes nothing, not even a -wal or -shm file; it may
        // wait a little for a writer's transaction.
        if (!db_.openReadOnly(path))
            return false;   // the reason is the system's or SQLite's
        sqlite3_busy_timeout(db_.handle(), 250);
        return true;
    }
    if (!db_.open(path))
        return db_.refuse(unwritable(folder, path, db_.error()));
    // Never waits for another program's transaction more than a moment: the
    // receive tick runs on this thread, and a row the store does not take
    // now is kept and written on the next tick.
    sqlite3_busy_timeout(db_.handle(), busyMs_);
    // Written ahead and synced by checkpoint() once a second rather than on
    // every commit: a killed program loses nothing committed, a power cut
    // at most the last second.
    if (!db_.exec("PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL; PRAGMA wal_autocheckpoint=0;")
        || !storeschema::upgrade(db_)) {
        openBusy_ = db_.code() == SQLITE_BUSY || db_.code() == SQLITE_LOCKED;
        const QString why = unwritable(folder, path, db_.error());
        db_.close();
        return db_.refuse(why);
    }
    if (!fileId(path, dev_, ino_))
        dev_ = ino_ = 0;
    return true;
}

bool RecordStore::busy() const
{
    if (!db_.isOpen())
        return openBusy_;
    return db_.code() == SQLITE_BUSY || db_.code() == SQLITE_LOCKED;
}

void RecordStore::waitWhenBusy(int ms)
{
    busyMs_ = ms;
    if (db_.isOpen())
        sqlite3_busy_timeout(db_.handle(), ms);
}

bool RecordStore::stillInPlace(QString *why) const
{
    if (!db_.isOpen() || (dev_ == 0 && ino_ == 0))
        return true;
    quint64 dev = 0, ino = 0;
    if (!fileId(file_, dev, ino)) {
        if (why)
            *why = QFileInfo(folder_).isDir() ? QStringLiteral("the file %1 was removed").arg(file_)
                                              : QStringLiteral("the folder %1 was removed").arg(folder_);
        return false;
    }
    if (dev != dev_ || ino != ino_) {
        if (why)
            *why = QStringLiteral("the file %1 was replaced by another").arg(file_);
        return false;
    }
    return true;
}

bool RecordStore::commit(RecordingInfo &rec, QList<hashchain::Entry> entries, qint64 newRows, qint64 expectEntries)
{
    if (!db_.exec("BEGIN IMMEDIATE"))
        return false;
    const bool creating = rec.id == 0;
    // Undone whole, keeping the reason the failure gave; a recording made
    // in this transaction is unmade with it.
    auto rollback = [&] {
        sqlite3_exec(db_.handle(), "ROLLBACK", nullptr, nullptr, nullptr);
        if (creating)
            rec.id = 0;
        return false;
    };
    if (expectEntries >= 0) {
        SqliteStatement now(db_, "SELECT entries FROM recording WHERE id = ?");
        now.bind(1, rec.id);
        if (!now.step() || now.integer(0) != expectEntries) {
            const bool failed = now.failed();
            rollback();
            return failed ? false
                          : db_.refuse(QStringLiteral("recording %1 was written to meanwhile").arg(rec.id));
        }
    }
    // 1. A recording's first entry names the one the store held last (read
    // here, inside the transaction, so two programs never name the same).
    if (!entries.isEmpty() && entries.first().seq == 1) {
        QJsonObject link;
        if (!ledger::tail(db_, link))
            return rollback();
        QJsonObject first = QJsonDocument::fromJson(entries.first().body).object();
        first.insert(QStringLiteral("ledger"), link);
        entries.first().body = QJsonDocument(first).toJson(QJsonDocument::Compact);
    }
    if (creating) {
        SqliteStatement ins(db_, "INSERT INTO recording(uuid, started, host, os_user, version, device, stable_device, "
                                 "model) VALUES(?,?,?,?,?,?,?,?)");
        ins.bind(1, rec.uuid).bind(2, rec.started).bind(3, rec.host).bind(4, rec.user).bind(5, rec.version);
        ins.bind(6, rec.device).bind(7, rec.stableDevice).bind(8, rec.model);
        if (!ins.run())
            return rollback();
        rec.id = sqlite3_last_insert_rowid(db_.handle());
    }
    // 2. Each entry linked after the one before; an export that carries no
    // fingerprint of its own is indexed by its file's hash.
    QByteArray previous = rec.entries == 0 ? hashchain::genesis(rec.uuid) : rec.lastHash;
    SqliteStatement add(db_, "INSERT INTO entry(recording, seq, kind, body, hash) VALUES(?,?,?,?,?)");
    SqliteStatement anchor(db_, "INSERT OR IGNORE INTO anchor(sha256, recording, seq) VALUES(?,?,?)");
    for (hashchain::Entry &e : entries) {
        e.hash = hashchain::link(previous, e.seq, e.kind, e.body);
        previous = e.hash;
        add.bind(1, rec.id).bind(2, e.seq).bind(3, e.kind).bind(4, QString::fromUtf8(e.body)).bind(5, e.hash);
        if (!add.run())
            return rollback();
        if (e.kind == QLatin1String("event") && e.body.contains("\"sha256\":\"")) {
            const QString sha = QJsonDocument::fromJson(e.body).object().value(QStringLiteral("sha256")).toString();
            anchor.bind(1, QByteArray::fromHex(sha.toLatin1())).bind(2, rec.id).bind(3, e.seq);
            if (!sha.isEmpty() && !anchor.run())
                return rollback();
        }
    }
    const qint64 entriesAfter = entries.isEmpty() ? rec.entries : entries.last().seq;
    const QByteArray hashAfter = entries.isEmpty() ? rec.lastHash : entries.last().hash;
    SqliteStatement upd(db_, "UPDATE recording SET rows = ?, entries = ?, last_hash = ?, display = ?, model = ?, "
                             "ended = ?, ended_how = ? WHERE id = ?");
    upd.bind(1, rec.rows + newRows).bind(2, entriesAfter).bind(3, hashAfter).bind(4, rec.display);
    upd.bind(5, rec.model).bind(6, rec.ended.isEmpty() ? QString() : rec.ended);
    upd.bind(7, rec.endedHow.isEmpty() ? QString() : rec.endedHow).bind(8, rec.id);
    if (!upd.run() || !db_.exec("COMMIT"))
        return rollback();
    rec.rows += newRows;
    rec.entries = entriesAfter;
    rec.lastHash = hashAfter;
    return true;
}

bool RecordStore::readError(const QString &what)
{
    readFailed_ = true;
    return db_.refuse(QStringLiteral("%1: %2").arg(what, db_.error()));
}

QList<RecordingInfo> RecordStore::list()
{
    readFailed_ = false;
    QList<RecordingInfo> out;
    SqliteStatement s(db_, QByteArray("SELECT ").append(kColumns).append(" FROM recording ORDER BY id").constData());
    while (s.step())
        out << readInfo(s);
    if (s.failed()) {
        readError(QStringLiteral("reading the list of recordings"));
        return {};
    }
    for (RecordingInfo &r : out)
        if (r.endedHow.isEmpty() && !readEndFromRun(db_, r)) {
            readError(QStringLiteral("reading how recording %1 ended").arg(r.id));
            return {};
        }
    return out;
}

std::optional<RecordingInfo> RecordStore::recording(qint64 id)
{
    readFailed_ = false;
    SqliteStatement s(db_, QByteArray("SELECT ").append(kColumns).append(" FROM recording WHERE id = ?").constData());
    s.bind(1, id);
    if (!s.step()) {
        if (s.failed())
            readError(QStringLiteral("reading recording %1").arg(id));
        return std::nullopt;
    }
    RecordingInfo r = readInfo(s);
    if (r.endedHow.isEmpty() && !readEndFromRun(db_, r)) {
        readError(QStringLiteral("reading how recording %1 ended").arg(id));
        return std::nullopt;
    }
    return r;
}

bool RecordStore::forEachEntry(qint64 id, const QString &kind,
                               const std::function<bool(const hashchain::Entry &)> &f)
{
    // The events by the index that holds only them, where the store has it
    // (SQLite without statistics would walk the primary key, readings and
    // all). Stores of older versions opened for reading do not.
    if (eventIndex_ < 0) {
        SqliteStatement has(db_, "SELECT 1 FROM sqlite_master WHERE type = 'index' AND name = 'entry_event'");
        eventIndex_ = has.step() ? 1 : 0;
    }
    const bool events = kind == QLatin1String("event") && eventIndex_ == 1;
    hashchain::Entry e;
    // Hands on the entries the statement gives; false when it failed.
    bool stopped = false;
    const auto walk = [&](SqliteStatement &s) {
        while (s.step()) {
            readEntry(s, e);
            if (!f(e)) {
                stopped = true;
                return true;
            }
        }
        return !s.failed();
    };
    bool read;
    if (events) {
        SqliteStatement s(db_, "SELECT seq, kind, body, hash FROM entry INDEXED BY entry_event "
                               "WHERE recording = ? AND kind = 'event' ORDER BY seq");
        s.bind(1, id);
        read = walk(s);
    } else {
        SqliteStatement s(db_, kind.isEmpty() ? "SELECT seq, kind, body, hash FROM entry WHERE recording = ? ORDER BY seq"
                                              : "SELECT seq, kind, body, hash FROM entry WHERE recording = ? AND kind = ? "
                                                "ORDER BY seq");
        s.bind(1, id);
        if (!kind.isEmpty())
            s.bind(2, kind);
        read = walk(s);
    }
    if (!read && events && !stopped) {
        // A damaged index need not mean damaged entries: the rest of the
        // events from the entries themselves, whose own damage, if any, is
        // then the one named.
        // (The kind as a parameter keeps SQLite off the index, which it
        // can only take for a kind written into the statement.)
        SqliteStatement s(db_, "SELECT seq, kind, body, hash FROM entry WHERE recording = ? AND kind = ? AND seq > ? "
                               "ORDER BY seq");
        s.bind(1, id);
        s.bind(2, kind);
        s.bind(3, e.seq);
        read = walk(s);
    }
    if (!read)
        return readError(e.seq > 0 ? QStringLiteral("reading recording %1's entries after entry %2").arg(id).arg(e.seq)
                                   : QStringLiteral("reading recording %1's entries").arg(id));
    return true;
}

QString RecordStore::integrityCheck()
{
    SqliteStatement s(db_, "PRAGMA integrity_check(1)");
    if (!s.step())
        return db_.error();
    // Its first finding, without the "*** in database main ***" heading.
    const QStringList lines = s.text(0).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (const QString &line : lines)
        if (!line.startsWith(QLatin1String("***")))
            return line;
    return lines.value(0);
}

namespace {

// The usual case, on two cores: the entries read ahead on a thread while
// this one checks each link against the stored hash before it (where the
// chain holds, hash i-1 is the one stored with entry i-1). Nothing when a
// link does not hold or the reading failed: the careful walk then says
// what happened. `given`: how many entries `seen` has had.
std::optional<hashchain::Verdict> verifyAhead(const QString &file, const RecordingInfo &rec,
                                              const std::function<void(const hashchain::Entry &)> &seen,
                                              qint64 &given)
{
    static const QString row = QStringLiteral("row"), event = QStringLiteral("event");
    const QByteArray genesis = hashchain::genesis(rec.uuid);
    ReadAhead ahead(file, ReadAhead::What::Entries, rec.id);
    std::string previous(genesis.constData(), std::size_t(genesis.size()));
    qint64 expect = 1;
    bool holds = true;
    hashchain::Entry e;
    while (const ReadAhead::Item *it = ahead.next()) {
        const std::string_view kind = ahead.text(it->kind), body = ahead.text(it->body), hash = ahead.text(it->hash);
        if (holds && it->seq == expect && hashchain::links(previous, it->seq, kind, body, hash)) {
            previous.assign(hash);
            ++expect;
        } else {
            holds = false;
        }
        if (seen) {
            e.seq = it->seq;
            e.kind = kind == "row" ? row : kind == "event" ? event : QString::fromUtf8(kind.data(), qsizetype(kind.size()));
            // Into the buffers of the entry before, where the caller kept
            // no copy: ten million entries allocate nothing each.
            e.body.resize(qsizetype(body.size()));
            std::copy(body.begin(), body.end(), e.body.data());
            e.hash.resize(qsizetype(hash.size()));
            std::copy(hash.begin(), hash.end(), e.hash.data());
            seen(e);
            ++given;
        } else if (!holds) {
            break;
        }
    }
    // A thread that could not start reading leaves it to the careful walk;
    // one that read and then failed says SQLite's words (the caller adds
    // the integrity check).
    const bool failed = ahead.failed();
    const QString why = failed ? ahead.error() : QString();
    if (!holds || (failed && why.isEmpty()))
        return std::nullopt;
    hashchain::Verdict v;
    v.kind = failed                     ? hashchain::Verdict::Kind::Unreadable
             : rec.endedHow.isEmpty() ? hashchain::Verdict::Kind::EndsEarly
                                      : hashchain::Verdict::Kind::Intact;
    v.why = why;
    v.entries = expect - 1;
    v.fingerprint = QByteArray(previous.data(), qsizetype(previous.size()));
    return v;
}

} // namespace

hashchain::Verdict RecordStore::verify(const RecordingInfo &rec,
                                       const std::function<void(const hashchain::Entry &)> &seen)
{
    qint64 given = 0;
    std::optional<hashchain::Verdict> ahead = verifyAhead(fileIn(folder_), rec, seen, given);
    hashchain::Verdict v = ahead ? *ahead : verifyHere(rec, seen, given);
    using K = hashchain::Verdict::Kind;
    if (ahead && v.kind == K::Unreadable) {
        unreadable(v, rec, v.why);
        return v;
    }
    if (v.kind == K::Unreadable)
        return v;
    // The chain cannot see its own end cut off: the recording's own count
    // and last hash, written in the same transactions, can.
    if ((v.kind == K::Intact || v.kind == K::EndsEarly) && v.entries < rec.entries) {
        v.kind = K::Removed;
        v.seq = v.entries + 1;
        v.seqTo = rec.entries;
    } else if ((v.kind == K::Intact || v.kind == K::EndsEarly) && v.fingerprint != rec.lastHash && rec.entries > 0) {
        v.kind = K::Mismatch;
        v.seq = v.entries;
    }
    return v;
}

// Entry by entry on this connection, and what the first entry that does
// not follow most likely is; `seen` gets the entries after the first
// `given`.
hashchain::Verdict RecordStore::verifyHere(const RecordingInfo &rec,
                                           const std::function<void(const hashchain::Entry &)> &seen, qint64 given)
{
    SqliteStatement s(db_, "SELECT seq, kind, body, hash FROM entry WHERE recording = ? ORDER BY seq");
    s.bind(1, rec.id);
    bool more = true;
    qint64 read = 0;
    hashchain::Verdict v = hashchain::verify(
        hashchain::genesis(rec.uuid),
        [&](hashchain::Entry &e) {
            if (!more || !(more = s.step()))
                return false;
            readEntry(s, e);
            if (seen && ++read > given)
                seen(e);
            return true;
        },
        !rec.endedHow.isEmpty());
    if (seen) {
        hashchain::Entry e;
        while (more && (more = s.step())) {
            readEntry(s, e);
            if (++read > given)
                seen(e);
        }
    }
    // The walk stopped because the store failed, not because the entries
    // ran out: what follows is unreadable, and nothing can be said of it.
    // (Past a break in the chain only a caller that wants every entry
    // reads on; it learns that it did not get them all.)
    using K = hashchain::Verdict::Kind;
    if (s.failed()) {
        if (v.kind != K::Intact && v.kind != K::EndsEarly)
            v.entries = read;
        unreadable(v, rec, db_.error());
    }
    return v;
}

void RecordStore::unreadable(hashchain::Verdict &v, const RecordingInfo &rec, const QString &why)
{
    v.kind = hashchain::Verdict::Kind::Unreadable;
    v.seq = v.entries + 1;
    v.seqTo = qMax(rec.entries, v.seq);
    v.why = why;
    const QString check = integrityCheck();
    if (check != QLatin1String("ok"))
        v.why += QStringLiteral(" (integrity check: %1)").arg(check);
}

void RecordStore::checkpoint()
{
    if (db_.isOpen())
        sqlite3_wal_checkpoint_v2(db_.handle(), nullptr, SQLITE_CHECKPOINT_PASSIVE, nullptr, nullptr);
}
