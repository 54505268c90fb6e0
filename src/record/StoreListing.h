#pragma once
#include "record/RecordStore.h"

// The stored recordings as a reader lists them (tq800-log --list-recordings,
// the window's Recordings dialog): the store opened read-only, never a byte
// changed, and each recording's end and device said the same way.
namespace storelisting {

// Opens the store in `folder` for reading; empty on success, else why not,
// naming the folder ("there is no recordings store in ...").
QString openForReading(RecordStore &store, const QString &folder);
// Every recording of an open store; empty `error` unless the reading failed.
QList<RecordingInfo> recordings(RecordStore &store, QString &error);
// "Export 2026-03-07T10:05:02+01:00", or "unfinished" for one cut off.
QString endText(const RecordingInfo &r);
// The port's stable name, else its device, else "-".
QString deviceText(const RecordingInfo &r);
// The meter's model as it announced itself, else "-".
QString modelText(const RecordingInfo &r);

} // namespace storelisting
