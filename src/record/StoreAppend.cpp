// An event added to a stored recording afterwards (a signature, a note):
// the chain grows past its end, and the recording stays as it ended.
#include "record/RecordStore.h"

std::optional<RecordingInfo> RecordStore::appendEvent(qint64 id,
                                                      const std::function<QByteArray(const RecordingInfo &)> &body)
{
    std::optional<RecordingInfo> r = recording(id);
    if (!r) {
        if (!readFailed_)
            db_.refuse(QStringLiteral("there is no recording %1").arg(id));
        return std::nullopt;
    }
    // Its end as stored, not as a later recording of its run tells it.
    RecordingInfo rec = *r;
    const qint64 stored = rec.entries;
    if (rec.endInferred)
        rec.ended = rec.endedHow = QString();
    // The entry after the last, linked by commit(), and only if nobody
    // wrote to the recording since it was read.
    hashchain::Entry e{rec.entries + 1, QStringLiteral("event"), body(rec), {}};
    if (!commit(rec, {e}, 0, stored))
        return std::nullopt;
    return rec;
}
