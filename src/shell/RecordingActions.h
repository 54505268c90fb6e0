#pragma once
#include "record/AnchoredFile.h"
#include "record/RecordStore.h"

#include <QString>

#include <functional>

class QWidget;
class UiPrompts;

// What the window does to one stored recording, whichever dialog asks: the
// Recordings dialog, its read-only view, the restore offer.
namespace recordingactions {

// How a file made of stored recording `id` becomes an event of its chain
// (AnchoredFile.h): writes `file` by `write` and appends `event`. The
// window's recorder does it, since it may be writing that very recording;
// where none is given, the store read from takes the event if it can.
using Anchoring = std::function<QString(qint64 id, const QString &file, QJsonObject event,
                                        const std::function<QString(const Anchor &)> &write)>;

// Export…: asks for a file (the window's Export file types) and writes the
// recording as Export would. Empty when written or cancelled, else why not.
QString exportRecording(UiPrompts &prompts, RecordStore &store, const RecordingInfo &rec, const Anchoring &anchoring);
// Report…: asks for a PDF and writes the recording's report against the
// limits the user saved. Empty when written or cancelled, else why not.
QString reportRecording(QWidget *parent, RecordStore &store, const RecordingInfo &rec, const Anchoring &anchoring);

// Signing a recording and adding a note to it are the record's own actions
// (an entry on its chain each, StoredAnnotation.h).
// Sign…: signs recording `id` of `store`'s folder; empty when signed or
// cancelled, else why not.
QString signRecording(QWidget *parent, const RecordStore &store, qint64 id);
// Note…: adds a note to recording `id`; empty when added or cancelled.
QString noteRecording(QWidget *parent, const RecordStore &store, qint64 id);
// The recording's samples and its signatures as one line each, for the
// Recordings list ("" where it has none), from one walk along its events.
struct Annotated
{
    QString samples, signatures;
};
Annotated annotationsOf(RecordStore &store, const RecordingInfo &rec);

} // namespace recordingactions
