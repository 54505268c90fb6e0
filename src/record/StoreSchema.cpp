#include "record/StoreSchema.h"

#include "record/SqliteDb.h"

#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QUrl>
#include <QtEndian>

#include <iterator>

#include <sqlite3.h>

namespace storeschema {
namespace {

constexpr Step kSteps[] = {
    // The first layout, as the first stores hold it.
    {1, R"sql(
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
)sql"},
    // The readings view gives each reading's one time (ISO 8601 with its
    // offset, which SQLite's date functions read, giving UTC), whether it
    // was live or from the meter's memory, and its numbers in their fixed
    // units. Rows written before they carried these: the time received,
    // "memory" in a recording a download began, else "live", no numbers.
    {2, R"sql(
DROP VIEW IF EXISTS readings;
CREATE VIEW readings AS
  SELECT recording, seq, json_extract(body, '$.row') AS row, json_extract(body, '$.received') AS received,
         json_extract(body, '$.cells[0]') AS c0, json_extract(body, '$.cells[1]') AS c1,
         json_extract(body, '$.cells[2]') AS c2, json_extract(body, '$.cells[3]') AS c3,
         json_extract(body, '$.cells[4]') AS c4, json_extract(body, '$.cells[5]') AS c5,
         json_extract(body, '$.cells[6]') AS c6, json_extract(body, '$.cells[7]') AS c7,
         json_extract(body, '$.settings') AS settings,
         COALESCE(json_extract(body, '$.time'), json_extract(body, '$.received')) AS time,
         COALESCE(json_extract(body, '$.source'),
                  CASE (SELECT json_extract(b.body, '$.cause') FROM entry b
                        WHERE b.recording = entry.recording AND b.seq = 1)
                  WHEN 'frame S' THEN 'memory' ELSE 'live' END) AS source,
         json_extract(body, '$.mode') AS mode,
         json_extract(body, '$.value.number') AS value,
         json_extract(body, '$.value.unit') AS unit,
         json_extract(body, '$.temperature.number') AS temperature,
         json_extract(body, '$.temperature.unit') AS temperature_unit
  FROM entry WHERE kind = 'row';
)sql"},
    // Exports that carry no fingerprint of their own (.xls, .csv, .jsonl)
    // are found again by their file's SHA-256, which their event in the
    // chain holds: this is only the index to that event (written in the
    // same transaction), never the evidence. From this version on every
    // recording's first entry holds its identity and its place in the
    // store's ledger, so a program that does not write them may not write
    // here.
    {3, R"sql(
CREATE TABLE IF NOT EXISTS anchor(
  sha256 BLOB NOT NULL,
  recording INTEGER NOT NULL,
  seq INTEGER NOT NULL,
  PRIMARY KEY(sha256, recording, seq)) WITHOUT ROWID;
)sql"},
};
static_assert(std::size(kSteps) == kVersion && kSteps[kVersion - 1].version == kVersion);

// Tables and views a store holds; the publisher keeps its ledger beside ours.
const QSet<QString> kOurNames{QStringLiteral("recording"), QStringLiteral("entry"), QStringLiteral("published"), QStringLiteral("anchor"),
                              QStringLiteral("readings"), QStringLiteral("events"), QStringLiteral("settings")};

const char kNamesSql[] = "SELECT name FROM sqlite_master WHERE type IN ('table', 'view') "
                         "AND name NOT LIKE 'sqlite\\_%' ESCAPE '\\'";

QString notOurs(const QString &path)
{
    return QStringLiteral("%1 is not a TQ800 recordings store; it is left as it is").arg(path);
}

QString newer(const QString &path, qint64 version)
{
    return QStringLiteral("%1 was written by a newer TQ800 (store version %2; this program knows versions up to %3); "
                          "it is left as it is")
        .arg(path)
        .arg(version)
        .arg(kVersion);
}

// Whether every table and view of the connection's database is ours; an
// empty database is. Empty `error` if it could be read.
bool onlyOurs(sqlite3 *db, QString &error)
{
    sqlite3_stmt *s = nullptr;
    if (sqlite3_prepare_v2(db, kNamesSql, -1, &s, nullptr) != SQLITE_OK) {
        error = QString::fromUtf8(sqlite3_errmsg(db));
        return false;
    }
    bool ours = true;
    int rc;
    while ((rc = sqlite3_step(s)) == SQLITE_ROW)
        ours = ours && kOurNames.contains(QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(s, 0))));
    if (rc != SQLITE_DONE)
        error = QString::fromUtf8(sqlite3_errmsg(db));
    sqlite3_finalize(s);
    return ours && error.isEmpty();
}

qint64 pragma(SqliteDb &db, const char *sql)
{
    SqliteStatement s(db, sql);
    return s.step() ? s.integer(0) : -1;
}

} // namespace

Identity inspect(const QString &path)
{
    // A folder by the store's name is somebody's: ours goes beside it.
    if (QFileInfo(path).isDir())
        return {0, QStringLiteral("%1 is a folder, not a TQ800 recordings store; it is left as it is").arg(path),
                Identity::Refusal::Foreign};
    QFile f(path);
    // Missing, empty, or unreadable (then opening it says why).
    if (f.size() == 0 || !f.open(QIODevice::ReadOnly))
        return {};
    // The header's fields are big-endian: user_version at 60, the
    // application id at 68.
    const QByteArray h = f.read(100);
    if (h.size() < 100 || !h.startsWith(QByteArrayView("SQLite format 3\0", 16)))
        return {0, notOurs(path), Identity::Refusal::Damaged};
    const quint32 app = qFromBigEndian<quint32>(h.constData() + 68);
    const quint32 version = qFromBigEndian<quint32>(h.constData() + 60);
    if (app == kApplicationId)
        return version > quint32(kVersion) ? Identity{0, newer(path, version), Identity::Refusal::Newer}
                                           : Identity{int(version), {}};
    if (app != 0 || version != 0)
        return {0, notOurs(path), Identity::Refusal::Foreign};

    // No id: a store of the first layout, an empty database, or another
    // program's. Its names are read from the file alone ("immutable" takes
    // no lock and makes no -shm) unless a -wal beside it may hold newer
    // pages than the file.
    const bool walBeside = QFileInfo(path + QStringLiteral("-wal")).size() > 0;
    const QByteArray uri = QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()).toEncoded()
        + (walBeside ? "?mode=ro" : "?mode=ro&immutable=1");
    sqlite3 *db = nullptr;
    QString error;
    bool ours = false;
    if (sqlite3_open_v2(uri.constData(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, nullptr) == SQLITE_OK)
        ours = onlyOurs(db, error);
    else
        error = QString::fromUtf8(db ? sqlite3_errmsg(db) : "out of memory");
    sqlite3_close_v2(db);
    if (!error.isEmpty())
        return {0, QStringLiteral("%1 cannot be read: %2").arg(path, error), Identity::Refusal::Damaged};
    return ours ? Identity{1, {}} : Identity{0, notOurs(path), Identity::Refusal::Foreign};
}

bool upgrade(SqliteDb &db)
{
    const QString path = QString::fromUtf8(sqlite3_db_filename(db.handle(), "main"));
    // Up to date: nothing to write, no lock to take.
    if (pragma(db, "PRAGMA application_id") == kApplicationId && pragma(db, "PRAGMA user_version") == kVersion)
        return true;
    if (!db.exec("BEGIN IMMEDIATE"))
        return false;
    // Undone whole; `why` replaces the failure's own reason.
    auto undo = [&db](const QString &why) {
        sqlite3_exec(db.handle(), "ROLLBACK", nullptr, nullptr, nullptr);
        return why.isEmpty() ? false : db.refuse(why);
    };
    // Looked at again inside the transaction: another program may have
    // brought it up to date (or made it something else) meanwhile.
    const qint64 app = pragma(db, "PRAGMA application_id");
    const qint64 version = pragma(db, "PRAGMA user_version");
    if (app < 0 || version < 0)
        return undo({});
    int from = 0;
    if (app == kApplicationId) {
        if (version > kVersion)
            return undo(newer(path, version));
        from = int(version);
    } else {
        QString error;
        if (app != 0 || version != 0 || !onlyOurs(db.handle(), error))
            return undo(error.isEmpty() ? notOurs(path) : error);
    }
    for (const Step &s : kSteps)
        if (s.version > from && !db.exec(s.sql))
            return undo({});
    const QByteArray mark = QByteArray("PRAGMA application_id = ") + QByteArray::number(kApplicationId)
        + "; PRAGMA user_version = " + QByteArray::number(kVersion) + ";";
    if (from < kVersion && !db.exec(mark.constData()))
        return undo({});
    return db.exec("COMMIT") || undo({});
}

} // namespace storeschema
