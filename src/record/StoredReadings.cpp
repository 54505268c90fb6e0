#include "record/StoredReadings.h"

#include "tidy/Reading.h"

#include <QJsonArray>
#include <QJsonDocument>

ReadingSource storedReadings(RecordStore &store, const RecordingInfo &rec)
{
    ReadingSource s;
    s.rows = int(rec.rows);
    s.forEach = [&store, rec](const ReadingSource::Take &take) {
        // The meter as the broker names it: by its port, else the computer.
        tidy::Context c;
        c.meter = rec.device.isEmpty() ? rec.host : tidy::meterId(rec.device, rec.stableDevice);
        c.model = rec.model;
        c.recording = rec.id;
        const bool ok = store.forEachEntry(rec.id, QString(), [&](const hashchain::Entry &e) {
            const QJsonObject body = QJsonDocument::fromJson(e.body).object();
            if (e.kind == QLatin1String("row"))
                return take(tidy::reading(c, e.seq, body));
            tidy::follow(c, body);
            return true;
        });
        return ok ? QString() : QStringLiteral("the recordings store could not be read: %1").arg(store.error());
    };
    return s;
}
