#include "record/RecordStore.h"

#include "record/ReadAhead.h"

#include <QDir>
#include <QStandardPaths>

#include <sqlite3.h>

#include <algorithm>

namespace {

const char kSchema[] = R"sql(
CREATE TABLE IF NOT EXISTS recording(
  id INTEGER PRIMARY KEY AUTOINCREMENT,
  uuid TEXT NOT NULL UNIQUE,
  started TEXT NOT NULL,
  ended TEXT,
  ended_how TEXT,
  host TEXT, os_user TEXT, version TEXT,
  device TEXT, stable_device TEXT, model TEXT,
  rows INTEGER NOT NULL DEFAULT 0,
  entries INTEGER NOT NULL DEFAULT 0,
  last_hash BLOB,
  display TEXT);
CREATE TABLE IF NOT EXISTS entry(
  recording INTEGER NOT NULL REFERENCES recording(id),
  seq INTEGER NOT NULL,
  kind TEXT NOT NULL,
  body TEXT NOT NULL,
  hash BLOB NOT NULL,
  PRIMARY KEY(recording, seq)) WITHOUT ROWID;
CREATE VIEW IF NOT EXISTS readings AS
  SELECT recording, seq, json_extract(body, '$.row') AS row, json_extract(body, '$.received') AS received,
         json_extract(body, '$.cells[0]') AS c0, json_extract(body, '$.cells[1]') AS c1,
         json_extract(body, '$.cells[2]') AS c2, json_extract(body, '$.cells[3]') AS c3,
         json_extract(body, '$.cells[4]') AS c4, json_extract(body, '$.cells[5]') AS c5,
         json_extract(body, '$.cells[6]') AS c6, json_extract(body, '$.cells[7]') AS c7,
         json_extract(body, '$.settings') AS settings
  FROM entry WHERE kind = 'row';
CREATE VIEW IF NOT EXISTS events AS
  SELECT recording, seq, json_extract(body, '$.event') AS event, json_extract(body, '$.utc') AS utc,
         json_extract(body, '$.local') AS local, body
  FROM entry WHERE kind = 'event';
CREATE VIEW IF NOT EXISTS settings AS
  SELECT recording, seq, json_extract(body, '$.local') AS local, json_extract(body, '$.frame') AS frame,
         json_extract(body, '$.fields') AS fields
  FROM entry WHERE kind = 'event' AND json_extract(body, '$.event') = 'settings';
)sql";

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
    return QDir(folder).filePath(QStringLiteral("recordings.sqlite"));
}

bool RecordStore::open(const QString &folder)
{
    folder_ = folder;
    // A folder that cannot be made: SQLite's open then says why, in the
    // system's words.
    QDir().mkpath(folder);
    if (!db_.open(fileIn(folder)))
        return false;
    // Waits briefly for another program's transaction, never long: the
    // receive tick runs on this thread.
    sqlite3_busy_timeout(db_.handle(), 250);
    // Written ahead and synced by checkpoint() once a second rather than on
    // every commit: a killed program loses nothing committed, a power cut
    // at most the last second.
    if (!db_.exec("PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL; PRAGMA wal_autocheckpoint=0;")
        || !createSchema()) {
        db_.close();   // error() keeps the reason
        return false;
    }
    return true;
}

bool RecordStore::createSchema()
{
    return db_.exec(kSchema);
}

bool RecordStore::commit(RecordingInfo &rec, const QList<hashchain::Entry> &entries, qint64 newRows)
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
    if (creating) {
        SqliteStatement ins(db_, "INSERT INTO recording(uuid, started, host, os_user, version, device, stable_device, "
                                 "model) VALUES(?,?,?,?,?,?,?,?)");
        ins.bind(1, rec.uuid).bind(2, rec.started).bind(3, rec.host).bind(4, rec.user).bind(5, rec.version);
        ins.bind(6, rec.device).bind(7, rec.stableDevice).bind(8, rec.model);
        if (!ins.run())
            return rollback();
        rec.id = sqlite3_last_insert_rowid(db_.handle());
    }
    SqliteStatement add(db_, "INSERT INTO entry(recording, seq, kind, body, hash) VALUES(?,?,?,?,?)");
    for (const hashchain::Entry &e : entries) {
        add.bind(1, rec.id).bind(2, e.seq).bind(3, e.kind).bind(4, QString::fromUtf8(e.body)).bind(5, e.hash);
        if (!add.run())
            return rollback();
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

bool RecordStore::markEnded(qint64 id, const QString &ended, const QString &how)
{
    SqliteStatement s(db_, "UPDATE recording SET ended = ?, ended_how = ? WHERE id = ? AND ended IS NULL");
    s.bind(1, ended).bind(2, how).bind(3, id);
    return s.run();
}

QList<RecordingInfo> RecordStore::list()
{
    QList<RecordingInfo> out;
    SqliteStatement s(db_, QByteArray("SELECT ").append(kColumns).append(" FROM recording ORDER BY id").constData());
    while (s.step())
        out << readInfo(s);
    return out;
}

std::optional<RecordingInfo> RecordStore::recording(qint64 id)
{
    SqliteStatement s(db_, QByteArray("SELECT ").append(kColumns).append(" FROM recording WHERE id = ?").constData());
    s.bind(1, id);
    if (!s.step())
        return std::nullopt;
    return readInfo(s);
}

bool RecordStore::forEachEntry(qint64 id, const QString &kind,
                               const std::function<bool(const hashchain::Entry &)> &f)
{
    SqliteStatement s(db_, kind.isEmpty()
                               ? "SELECT seq, kind, body, hash FROM entry WHERE recording = ? ORDER BY seq"
                               : "SELECT seq, kind, body, hash FROM entry WHERE recording = ? AND kind = ? ORDER BY seq");
    s.bind(1, id);
    if (!kind.isEmpty())
        s.bind(2, kind);
    hashchain::Entry e;
    while (s.step()) {
        readEntry(s, e);
        if (!f(e))
            return true;
    }
    return !s.failed();
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
    if (!holds || ahead.failed())
        return std::nullopt;
    hashchain::Verdict v;
    v.kind = rec.endedHow.isEmpty() ? hashchain::Verdict::Kind::EndsEarly : hashchain::Verdict::Kind::Intact;
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
    // The chain cannot see its own end cut off: the recording's own count
    // and last hash, written in the same transactions, can.
    using K = hashchain::Verdict::Kind;
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
    return v;
}

void RecordStore::checkpoint()
{
    if (db_.isOpen())
        sqlite3_wal_checkpoint_v2(db_.handle(), nullptr, SQLITE_CHECKPOINT_PASSIVE, nullptr, nullptr);
}

QList<std::pair<QString, QString>> exportProperties(const RecordingInfo &rec)
{
    return {{QStringLiteral("TQ800 recording"), QString::number(rec.id)},
            {QStringLiteral("TQ800 recording uuid"), rec.uuid},
            {QStringLiteral("TQ800 fingerprint"), QString::fromLatin1(rec.lastHash.toHex())}};
}
