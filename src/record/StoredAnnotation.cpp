#include "record/StoredAnnotation.h"

#include "record/Annotations.h"
#include "record/LiveLock.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonDocument>

QString addToStored(const QString &folder, qint64 id, const QString &name, const QJsonObject &fields, bool signs,
                    const std::function<QString(const RecordingInfo &)> &check, RecordingInfo *after)
{
    // 1. An existing store, written to: never one made here.
    if (!QFileInfo::exists(RecordStore::fileIn(folder)))
        return QStringLiteral("there is no recordings store in %1").arg(folder);
    RecordStore store;
    if (!store.open(folder, RecordStore::Access::Write))
        return QStringLiteral("the recordings store in %1 could not be opened: %2").arg(folder, store.error());
    const auto r = store.recording(id);
    if (!r)
        return store.readFailed() ? store.error() : QStringLiteral("there is no recording %1").arg(id);
    if (LiveLock::isLive(folder, r->uuid))
        return QStringLiteral("recording %1 is being written by another program: add to it there, or once it has ended")
            .arg(id);
    if (check)
        if (const QString why = check(*r); !why.isEmpty())
            return why;
    // 2. The event after the last entry, with this program's clock from its
    // start, as every event carries one.
    static QElapsedTimer mono;
    if (!mono.isValid())
        mono.start();
    const auto done = store.appendEvent(id, [&](const RecordingInfo &rec) {
        QJsonObject f = fields;
        if (signs)
            annotation::signOver(f, rec.lastHash, rec.entries);
        f = annotation::stamped(name, f, QDateTime::currentDateTime());
        f.insert(QStringLiteral("mono_ms"), mono.elapsed());
        return QJsonDocument(f).toJson(QJsonDocument::Compact);
    });
    if (!done)
        return store.error();
    store.checkpoint();
    if (after)
        *after = *done;
    return {};
}
