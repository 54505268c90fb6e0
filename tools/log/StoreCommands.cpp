#include "StoreCommands.h"

#include "publish/Republisher.h"
#include "record/AnchoredFile.h"
#include "record/FileCheck.h"
#include "record/Ledger.h"
#include "record/RecordAudit.h"
#include "record/RecordStore.h"
#include "record/StoreListing.h"
#include "record/StoreSchema.h"
#include "record/StoredExport.h"
#include "report/ReportBuild.h"
#include "text/VisibleText.h"

#include <cstdio>

namespace storecmd {
namespace {

void out(const QString &line)
{
    std::printf("%s\n", qPrintable(line));
}

void err(const QString &line)
{
    std::fprintf(stderr, "tq800-log: %s\n", qPrintable(visibletext::visible(line)));
}

// The store opened but a read failed: what was being read, and why.
QString unreadable(const RecordStore &store, const QString &folder)
{
    return QStringLiteral("the recordings store in %1 is unreadable: %2").arg(folder, store.error());
}

bool openStore(RecordStore &store, const QString &folder)
{
    const QString why = storelisting::openForReading(store, folder);
    if (!why.isEmpty())
        err(why);
    return why.isEmpty();
}

// The store opened to add a file's event where it may be written: only a
// sound store of this version (it is never made, moved aside or brought
// up to date here), else read-only (the file then carries the last
// entry's fingerprint).
bool openForFiles(RecordStore &store, const QString &folder)
{
    const storeschema::Identity what = storeschema::inspect(RecordStore::fileIn(folder));
    if (what.refused.isEmpty() && what.version == storeschema::kVersion
        && store.open(folder, RecordStore::Access::Write))
        return true;
    return openStore(store, folder);
}

// Recording `id` of the store in `folder`, or nothing, said on standard error.
std::optional<RecordingInfo> findRecording(RecordStore &store, const QString &folder, qint64 id, bool forFiles = false)
{
    if (!(forFiles ? openForFiles(store, folder) : openStore(store, folder)))
        return std::nullopt;
    auto r = store.recording(id);
    if (!r)
        err(store.readFailed() ? unreadable(store, folder) : QStringLiteral("there is no recording %1").arg(id));
    return r;
}

} // namespace

int list(const QString &folder)
{
    RecordStore store;
    if (!openStore(store, folder))
        return 1;
    QString error;
    const QList<RecordingInfo> recs = storelisting::recordings(store, error);
    if (!error.isEmpty()) {
        err(error);
        return 1;
    }
    // The fields are the store's text (the model as the meter's line gave
    // it): shown, never obeyed by the terminal, and never a second tab.
    using visibletext::visible;
    for (const RecordingInfo &r : recs)
        out(QStringLiteral("%1\t%2\t%3\t%4\t%5\t%6 rows")
                .arg(r.id)
                .arg(visible(r.started), visible(storelisting::endText(r)), visible(storelisting::modelText(r)),
                     visible(storelisting::deviceText(r)))
                .arg(r.rows));
    return 0;
}

int verify(const QString &folder, qint64 id)
{
    RecordStore store;
    if (id == 0 && !openStore(store, folder))
        return 1;
    QList<RecordingInfo> recs;
    if (id > 0) {
        const auto r = findRecording(store, folder, id);
        if (!r)
            return 1;
        recs << *r;
    } else {
        recs = store.list();
        if (store.readFailed()) {
            err(unreadable(store, folder));
            return 1;
        }
    }
    int status = 0;
    for (const RecordingInfo &r : recs) {
        const Audit a = audit(store, r);
        const QStringList lines = a.lines();
        out(QStringLiteral("%1: %2").arg(r.id).arg(visibletext::visible(lines.first())));
        for (qsizetype i = 1; i < lines.size(); ++i)
            out(QStringLiteral("%1:   %2").arg(r.id).arg(visibletext::visible(lines[i])));
        if (!a.holds())
            status = 1;
    }
    // The last recordings, which no later one names in the ledger.
    if (id == 0) {
        if (const QString removed = ledger::removedAtEnd(store.db()); !removed.isEmpty()) {
            out(QStringLiteral("store: %1").arg(removed));
            status = 1;
        }
    }
    SqliteStatement version(store.db(), "PRAGMA user_version");
    if (version.step() && version.integer(0) < storeschema::kLedgerVersion)
        out(QStringLiteral("store: written by an earlier TQ800 (store version %1): its recordings carry neither their "
                           "identity nor a ledger, so their rows and removed recordings are not checked")
                .arg(qMax<qint64>(1, version.integer(0))));
    return status;
}

int entries(const QString &folder, qint64 id)
{
    RecordStore store;
    if (!findRecording(store, folder, id))
        return 1;
    const bool read = store.forEachEntry(id, QString(), [](const hashchain::Entry &e) {
        out(QStringLiteral("%1\t%2\t%3").arg(e.seq).arg(visibletext::visible(e.kind), QString::fromLatin1(e.hash.toHex())));
        return true;
    });
    if (!read)
        err(unreadable(store, folder));
    return read ? 0 : 1;
}

int check(const QString &folder, const QString &file)
{
    RecordStore store;
    if (!openStore(store, folder))
        return 1;
    const FileCheck c = checkFile(store, file);
    out(QStringLiteral("%1: %2").arg(visibletext::visible(file), visibletext::visible(c.text)));
    return c.matches ? 0 : 1;
}

int exportStored(const QString &folder, qint64 id, const QString &file, bool tidyCsv)
{
    RecordStore store;
    const auto r = findRecording(store, folder, id, true);
    if (!r)
        return 1;
    QString notice;
    const QString error = writeAnchored(
        store, id, file, fileEvent(QStringLiteral("export"), file, {{QStringLiteral("rows"), r->rows}}),
        [&](const Anchor &a) { return exportStoredRecording(store, *r, file, tidyCsv, a); }, &notice);
    if (!notice.isEmpty())
        err(notice);
    if (!error.isEmpty()) {
        err(QStringLiteral("recording %1 could not be exported to %2: %3").arg(id).arg(file, error));
        return 1;
    }
    err(QStringLiteral("recording %1: %2 %3 exported to %4")
            .arg(id)
            .arg(r->rows)
            .arg(r->rows == 1 ? QStringLiteral("row") : QStringLiteral("rows"), file));
    return 0;
}

int reportStored(const QString &folder, qint64 id, const QString &file, const ReportLimits &limits)
{
    RecordStore store;
    const auto r = findRecording(store, folder, id, true);
    if (!r)
        return 1;
    QString notice, fingerprint;
    const QString error = reportStoredRecording(
        store, *r, file, QStringLiteral("the export written by tq800-log --recording %1 --export FILE").arg(id), limits,
        [&](const auto &write) {
            return writeAnchored(store, id, file, fileEvent(QStringLiteral("report"), file, {}), write, &notice);
        },
        &fingerprint);
    if (!notice.isEmpty())
        err(notice);
    if (!error.isEmpty()) {
        err(QStringLiteral("the report of recording %1 was not written to %2: %3").arg(id).arg(file, error));
        return 1;
    }
    err(QStringLiteral("recording %1: report written to %2 (fingerprint %3)").arg(id).arg(file, fingerprint));
    return 0;
}

int republish(const QString &folder, qint64 id, const QDateTime &since, const MqttSettings &mqtt)
{
    // Opened as the other readers open it: the ledger of the live
    // publisher is read by nobody here and written by nobody.
    RecordStore store;
    if (!openStore(store, folder))
        return 1;
    QString error;
    const QList<RecordingInfo> recordings = republish::select(store, id, since, error);
    if (!error.isEmpty()) {
        err(error);
        return 1;
    }
    if (recordings.isEmpty()) {
        err(QStringLiteral("no recording started at or after %1: nothing to send").arg(since.toString(Qt::ISODate)));
        return 0;
    }
    Republisher republisher(store, mqtt);
    return republisher.run(recordings, &err) ? 0 : 1;
}

} // namespace storecmd
