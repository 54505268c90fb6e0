#include "record/StoreListing.h"

#include <QFileInfo>

namespace storelisting {

QString openForReading(RecordStore &store, const QString &folder)
{
    if (!QFileInfo::exists(RecordStore::fileIn(folder)))
        return QStringLiteral("there is no recordings store in %1").arg(folder);
    if (!store.open(folder, RecordStore::Access::Read))
        return QStringLiteral("the recordings store in %1 could not be opened: %2").arg(folder, store.error());
    return {};
}

QList<RecordingInfo> recordings(RecordStore &store, QString &error)
{
    QList<RecordingInfo> all = store.list();
    error = store.readFailed()
                ? QStringLiteral("the recordings store in %1 is unreadable: %2").arg(store.folder(), store.error())
                : QString();
    return all;
}

QString endText(const RecordingInfo &r)
{
    return r.endedHow.isEmpty() ? QStringLiteral("unfinished") : r.endedHow + QLatin1Char(' ') + r.ended;
}

QString deviceText(const RecordingInfo &r)
{
    return r.stableDevice.isEmpty() ? (r.device.isEmpty() ? QStringLiteral("-") : r.device) : r.stableDevice;
}

QString modelText(const RecordingInfo &r)
{
    return r.model.trimmed().isEmpty() ? QStringLiteral("-") : r.model.trimmed();
}

} // namespace storelisting
