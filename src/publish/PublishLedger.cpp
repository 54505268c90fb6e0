#include "publish/PublishLedger.h"

#include "record/RecordStore.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace {

const char kSchema[] = R"sql(
CREATE TABLE IF NOT EXISTS published(
  target TEXT NOT NULL,
  recording INTEGER NOT NULL,
  seq INTEGER NOT NULL,
  PRIMARY KEY(target, recording)) WITHOUT ROWID;
)sql";

// Recording 0 of a target holds, in `seq`, the first recording it publishes.
const char kPending[] = "SELECT r.id, COALESCE(p.seq, 0) FROM recording r "
                        "LEFT JOIN published p ON p.target = ?1 AND p.recording = r.id "
                        "WHERE r.id >= ?2 AND r.id > ?3 AND (?4 = '' OR r.device = ?4) "
                        "AND r.entries > COALESCE(p.seq, 0) ORDER BY r.id LIMIT 1";

} // namespace

PublishLedger::PublishLedger(RecordStore &store, const QString &target, const QString &device)
    : store_(store), target_(target), device_(device)
{
}

bool PublishLedger::open()
{
    SqliteDb &db = store_.db();
    if (!db.exec(kSchema))
        return false;
    SqliteStatement start(db, "SELECT seq FROM published WHERE target = ? AND recording = 0");
    start.bind(1, target_);
    if (start.step()) {
        base_ = start.integer(0);
        return true;
    }
    if (start.failed())
        return false;
    SqliteStatement next(db, "SELECT COALESCE(MAX(id), 0) + 1 FROM recording");
    if (!next.step())
        return false;
    base_ = next.integer(0);
    SqliteStatement mark(db, "INSERT INTO published(target, recording, seq) VALUES(?, 0, ?)");
    mark.bind(1, target_).bind(2, base_);
    return mark.run();
}

PublishLedger::Position PublishLedger::nextAfter(qint64 recording)
{
    SqliteStatement s(store_.db(), kPending);
    s.bind(1, target_).bind(2, base_).bind(3, recording).bind(4, device_);
    if (!s.step())
        return {};
    return {s.integer(0), s.integer(1)};
}

PublishLedger::Position PublishLedger::firstUnacknowledged()
{
    return nextAfter(0);
}

QList<hashchain::Entry> PublishLedger::entriesAfter(qint64 recording, qint64 afterSeq, int limit)
{
    QList<hashchain::Entry> out;
    SqliteStatement s(store_.db(), "SELECT seq, kind, body FROM entry WHERE recording = ? AND seq > ? ORDER BY seq LIMIT ?");
    s.bind(1, recording).bind(2, afterSeq).bind(3, qint64(limit));
    while (s.step())
        out.append(hashchain::Entry{s.integer(0), s.text(1), s.text(2).toUtf8(), {}});
    return out;
}

bool PublishLedger::acknowledge(qint64 recording, qint64 seq)
{
    SqliteStatement s(store_.db(), "INSERT INTO published(target, recording, seq) VALUES(?, ?, ?) "
                                   "ON CONFLICT(target, recording) DO UPDATE SET seq = MAX(seq, excluded.seq)");
    s.bind(1, target_).bind(2, recording).bind(3, seq);
    return s.run();
}

QStringList PublishLedger::header(qint64 recording)
{
    SqliteStatement s(store_.db(), "SELECT body FROM entry WHERE recording = ? AND kind = 'event' "
                                   "AND json_extract(body, '$.event') = 'begin' ORDER BY seq DESC LIMIT 1");
    s.bind(1, recording);
    if (!s.step())
        return {};
    const QJsonArray h = QJsonDocument::fromJson(s.text(0).toUtf8()).object().value(QStringLiteral("header")).toArray();
    QStringList out;
    for (const QJsonValue &v : h)
        out << v.toString();
    return out;
}

PublishLedger::Latest PublishLedger::latest()
{
    Latest l;
    SqliteStatement r(store_.db(), "SELECT id, model, device, stable_device FROM recording "
                                   "WHERE (?1 = '' OR device = ?1) ORDER BY id DESC LIMIT 1");
    r.bind(1, device_);
    if (!r.step())
        return l;
    l.recording = r.integer(0);
    l.model = r.text(1);
    l.device = r.text(2);
    l.stableDevice = r.text(3);
    SqliteStatement s(store_.db(), "SELECT body FROM entry WHERE recording = ? AND kind = 'event' "
                                   "AND json_extract(body, '$.event') = 'settings' ORDER BY seq DESC LIMIT 1");
    s.bind(1, l.recording);
    if (s.step())
        l.settings = QJsonDocument::fromJson(s.text(0).toUtf8()).object();
    return l;
}
