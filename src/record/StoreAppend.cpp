// An event added to a stored recording afterwards (a signature, a note):
// the chain grows past its end, and the recording stays as it ended.
#include "record/RecordStore.h"

#include <sqlite3.h>

std::optional<RecordingInfo> RecordStore::appendEvent(qint64 id,
                                                      const std::function<QByteArray(const RecordingInfo &)> &body)
{
    // 1. Under the write lock, so that a second program adding at the same
    // time follows this entry instead of taking its number.
    if (!db_.exec("BEGIN IMMEDIATE"))
        return std::nullopt;
    auto rollback = [&](const QString &why) -> std::optional<RecordingInfo> {
        const QString reason = why.isEmpty() ? db_.error() : why;
        sqlite3_exec(db_.handle(), "ROLLBACK", nullptr, nullptr, nullptr);
        db_.refuse(reason);
        return std::nullopt;
    };
    std::optional<RecordingInfo> r = recording(id);
    if (!r)
        return rollback(readFailed_ ? QString() : QStringLiteral("there is no recording %1").arg(id));
    // 2. The entry after the last, linked to it.
    hashchain::Entry e{r->entries + 1, QStringLiteral("event"), body(*r), {}};
    e.hash = hashchain::link(r->entries == 0 ? hashchain::genesis(r->uuid) : r->lastHash, e.seq, e.kind, e.body);
    SqliteStatement add(db_, "INSERT INTO entry(recording, seq, kind, body, hash) VALUES(?,?,?,?,?)");
    add.bind(1, id).bind(2, e.seq).bind(3, e.kind).bind(4, QString::fromUtf8(e.body)).bind(5, e.hash);
    if (!add.run())
        return rollback({});
    SqliteStatement upd(db_, "UPDATE recording SET entries = ?, last_hash = ? WHERE id = ?");
    upd.bind(1, e.seq).bind(2, e.hash).bind(3, id);
    if (!upd.run() || !db_.exec("COMMIT"))
        return rollback({});
    r->entries = e.seq;
    r->lastHash = e.hash;
    return r;
}
