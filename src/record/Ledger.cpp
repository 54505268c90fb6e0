#include "record/Ledger.h"

#include "record/RecordStore.h"
#include "record/SqliteDb.h"

namespace ledger {

bool tail(SqliteDb &db, QJsonObject &link)
{
    link = {};
    SqliteStatement s(db, "SELECT id, uuid, entries, last_hash FROM recording ORDER BY id DESC LIMIT 1");
    if (s.step())
        link = {{QStringLiteral("id"), s.integer(0)},
                {QStringLiteral("uuid"), s.text(1)},
                {QStringLiteral("entries"), s.integer(2)},
                {QStringLiteral("fingerprint"), QString::fromLatin1(s.blob(3).toHex())}};
    return !s.failed();
}

QStringList check(SqliteDb &db, const RecordingInfo &rec, const QJsonObject &link)
{
    QStringList found;
    const auto readFailed = [&] { return QStringList{QStringLiteral("its ledger could not be read: %1").arg(db.error())}; };
    // The recording before it now: the next lower id.
    SqliteStatement before(db, "SELECT id FROM recording WHERE id < ? ORDER BY id DESC LIMIT 1");
    before.bind(1, rec.id);
    const bool hasBefore = before.step();
    if (before.failed())
        return readFailed();
    const qint64 beforeId = hasBefore ? before.integer(0) : 0;

    // 1. The first recording of the store: nothing may come before it.
    if (link.isEmpty()) {
        if (hasBefore)
            found << QStringLiteral("its first entry says it was the store's first recording, yet recording %1 is "
                                    "before it").arg(beforeId);
        return found;
    }
    const qint64 id = link.value(QStringLiteral("id")).toInteger();
    const QString uuid = link.value(QStringLiteral("uuid")).toString();
    const qint64 entries = link.value(QStringLiteral("entries")).toInteger();
    const QByteArray fingerprint = QByteArray::fromHex(link.value(QStringLiteral("fingerprint")).toString().toLatin1());

    // 2. The one it names is still there, under its id, and next before it.
    SqliteStatement named(db, "SELECT id FROM recording WHERE uuid = ?");
    named.bind(1, uuid);
    if (!named.step()) {
        if (named.failed())
            return readFailed();
        found << QStringLiteral("recording %1 before it (uuid %2) was removed").arg(id).arg(uuid);
        return found;
    }
    if (named.integer(0) != id)
        found << QStringLiteral("recording %1 before it (uuid %2) is now recording %3").arg(id).arg(uuid).arg(named.integer(0));
    else if (beforeId != id)
        found << QStringLiteral("recording %1 stands between it and recording %2, the one before it when it began")
                     .arg(beforeId)
                     .arg(id);

    // 3. The chain of that one still passes through the hash it had then.
    if (entries > 0) {
        SqliteStatement e(db, "SELECT hash FROM entry WHERE recording = ? AND seq = ?");
        e.bind(1, named.integer(0)).bind(2, entries);
        const bool there = e.step();
        if (e.failed())
            return readFailed();
        if (!there)
            found << QStringLiteral("recording %1 before it lost its entry %2").arg(named.integer(0)).arg(entries);
        else if (e.blob(0) != fingerprint)
            found << QStringLiteral("recording %1 before it was changed: its entry %2 is not the one this recording "
                                    "saw when it began").arg(named.integer(0)).arg(entries);
    }
    return found;
}

QString removedAtEnd(SqliteDb &db)
{
    // AUTOINCREMENT keeps the highest id ever given; a store without that
    // table (nothing recorded yet) has removed nothing.
    SqliteStatement s(db, "SELECT (SELECT seq FROM sqlite_sequence WHERE name = 'recording'), "
                          "(SELECT max(id) FROM recording)");
    if (!s.step() || s.isNull(0))
        return {};
    const qint64 given = s.integer(0), highest = s.isNull(1) ? 0 : s.integer(1);
    if (given <= highest)
        return {};
    return given == highest + 1 ? QStringLiteral("recording %1, the last, was removed").arg(given)
                                : QStringLiteral("recordings %1 to %2, the last, were removed").arg(highest + 1).arg(given);
}

} // namespace ledger
