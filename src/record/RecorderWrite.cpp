// The Recorder's writing: one transaction per receive tick, rows held while
// the store refuses, a store file that went away made again, and at the end
// a fallback for whatever the store never took.
#include "record/EndHow.h"
#include "record/Recorder.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>

#include <utility>

bool Recorder::writeOne(RecordStore &store, RecordingInfo &rec, QList<Pending> &pending)
{
    // Linked by the store, in its transaction (an entry 1 gets the ledger).
    QList<hashchain::Entry> entries;
    entries.reserve(pending.size());
    qint64 seq = rec.entries;
    qint64 rows = 0;
    for (const Pending &p : pending) {
        entries.append(hashchain::Entry{++seq, p.kind, p.body, {}});
        rows += p.row ? 1 : 0;
    }
    if (!store.commit(rec, entries, rows))
        return false;
    if (&store == &store_) {
        lastId_ = rec.id;
        // Kept until the next look at the file finds it still in place: if
        // it went away meanwhile, these went with it and are written again.
        unconfirmed_ += pending;
        dirty_ = true;
    }
    pending.clear();
    if (&store == &store_)
        emit written();
    return true;
}

void Recorder::flush()
{
    if (!store_.isOpen() && !store_.open(folder_))
        return troubled();
    // Recordings that ended while the store would not take them, oldest first.
    while (!backlog_.isEmpty()) {
        Backlog &b = backlog_.first();
        if (b.lock && !b.lock->held())
            b.lock->acquire(folder_, b.rec.uuid);
        if (!writeOne(store_, b.rec, b.pending))
            return troubled();
        backlog_.removeFirst();
    }
    if (active_) {
        if (!lock_.held())
            lock_.acquire(folder_, rec_.uuid);
        qint64 rows = rec_.rows;
        for (const Pending &p : pending_)
            rows += p.row ? 1 : 0;
        // Written from its first row on.
        if (rows > 0 && !pending_.isEmpty()) {
            rec_.display = displayState();
            if (!writeOne(store_, rec_, pending_))
                return troubled();
        }
    }
    busySince_.invalidate();
    busyRetry_.stop();
    if (failing_) {
        failing_ = false;
        retry_.stop();
        const QString text = QStringLiteral("The recordings store in %1 takes rows again; the %2 held meanwhile are written.")
                                 .arg(folder_, heldRows_ == 1 ? QStringLiteral("row") : QStringLiteral("%1 rows").arg(heldRows_));
        event(QStringLiteral("store_resumed"), {{QStringLiteral("rows_held"), heldRows_}});
        heldRows_ = 0;
        flush();
        emit storeRecovered(text);
    }
}

qint64 Recorder::heldEntries() const
{
    qint64 n = pending_.size();
    for (const Backlog &b : backlog_)
        n += b.pending.size();
    return n;
}

qint64 Recorder::heldRows() const
{
    qint64 held = 0;
    for (const Backlog &b : backlog_)
        for (const Pending &p : b.pending)
            held += p.row ? 1 : 0;
    for (const Pending &p : pending_)
        held += p.row ? 1 : 0;
    return held;
}

void Recorder::troubled()
{
    // Another program's transaction: the rows wait for the next tick (or a
    // short timer), without a warning, unless it goes on for long.
    if (store_.busy() && !failing_) {
        if (!busySince_.isValid())
            busySince_.start();
        if (busySince_.elapsed() < kBusyGraceMs) {
            if (!busyRetry_.isActive())
                busyRetry_.start();
            return;
        }
    }
    const qint64 held = heldRows();
    heldRows_ = held;
    if (failing_)
        return;
    failing_ = true;
    storeLost_ = true;
    const QString why = store_.error();
    // Said once, recorded in the chain (it is written with the held rows,
    // so the account shows where the trouble began), and tried again.
    event(QStringLiteral("store_failed"), {{QStringLiteral("reason"), why}, {QStringLiteral("rows_held"), held}});
    retry_.start();
    emit storeFailed(QStringLiteral("Rows cannot be written to the recordings store in %1: %2. Logging goes on; "
                                    "the rows are held and written as soon as the store takes them again, "
                                    "or at the end to a fallback store beside it.")
                         .arg(folder_, why));
}

void Recorder::sync()
{
    if (dirty_)
        store_.checkpoint();
    dirty_ = false;
    QString why;
    if (store_.stillInPlace(&why))
        unconfirmed_.clear();
    else
        storeGone(why);
}

void Recorder::storeGone(const QString &why)
{
    // Everything the gone file may have taken since it was last seen in
    // place, and everything not written yet, in order, goes into a new
    // recording in a new store where the old one was. The new recording's
    // begin names the one it continues.
    QList<Pending> again = std::exchange(unconfirmed_, {});
    for (Backlog &b : backlog_)
        again += b.pending;
    backlog_.clear();
    const QString previous = rec_.uuid;
    const bool wasActive = active_;
    if (active_)
        again += pending_;
    pending_.clear();
    active_ = false;
    lock_.release();
    store_.close();
    store_.open(folder_);   // the folder made again; a failure shows at the next write
    qint64 rows = 0;
    for (const Pending &p : again)
        rows += p.row ? 1 : 0;
    const QString text = QStringLiteral("The recordings store %1 went away (%2); a new one was made in its place, "
                                        "and the recording goes on in it (%3 written again).")
                             .arg(store_.file(), why, rows == 1 ? QStringLiteral("1 row") : QStringLiteral("%1 rows").arg(rows));
    const QJsonObject fields{{QStringLiteral("reason"), why}, {QStringLiteral("previous"), previous},
                             {QStringLiteral("rows_again"), rows}};
    if (wasActive || !again.isEmpty()) {
        begin(QStringLiteral("store replaced"), fields);
        for (const Pending &p : again) {
            pending_.append(p);
            ++nextSeq_;
        }
        if (!wasActive)
            end(endhow::kExit);
    }
    event(QStringLiteral("store_replaced"), fields);
    flush();
    emit storeNotice(text);
}

void Recorder::rescue()
{
    // The store never took these: they go to a new store in a folder of
    // their own, beside the data folder, else in the temporary folder. Each
    // recording keeps its uuid and its entries their numbers and links, so
    // with what the store did take they make one chain.
    const qint64 rows = heldRows();
    const QString stamp = QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd'T'HHmmss'Z'"));
    const QString name = QDir(folder_).dirName() + QStringLiteral(".fallback-") + stamp;
    QStringList reasons, places;
    // Beside the data folder when that is a folder (or none yet), never
    // beside a device or a file given in its place.
    const QFileInfo data(folder_);
    if (data.isDir() || !data.exists())
        places << QDir::cleanPath(data.absoluteFilePath() + QStringLiteral("/../") + name);
    places << QDir::temp().filePath(name);
    for (const QString &where : places) {
        RecordStore fallback;
        if (!fallback.open(where)) {
            reasons << QStringLiteral("%1: %2").arg(where, fallback.error());
            continue;
        }
        if (active_ && !pending_.isEmpty())
            backlog_.append(Backlog{rec_, std::exchange(pending_, {}), rec_.display, {}});
        bool all = true;
        while (all && !backlog_.isEmpty()) {
            RecordingInfo r = backlog_.first().rec;
            r.id = 0;
            all = writeOne(fallback, r, backlog_.first().pending);
            if (all)
                backlog_.removeFirst();
        }
        if (!all) {
            reasons << QStringLiteral("%1: %2").arg(where, fallback.error());
            continue;
        }
        fallback.close();
        rescued_ = fallback.file();
        emit storeNotice(QStringLiteral("%1 the recordings store in %2 did not take %3 written to %4 "
                                        "(tq800-log --journal %5 --verify).")
                             .arg(rows == 1 ? QStringLiteral("The row") : QStringLiteral("The %1 rows").arg(rows),
                                  folder_, rows == 1 ? QStringLiteral("is") : QStringLiteral("are"), rescued_, where));
        return;
    }
    emit storeNotice(QStringLiteral("%1 the recordings store in %2 did not take could not be saved anywhere: %3")
                         .arg(rows == 1 ? QStringLiteral("The row") : QStringLiteral("The %1 rows").arg(rows), folder_,
                              reasons.join(QStringLiteral("; "))));
}
