#pragma once
#include "record/RecordStore.h"

#include <QString>

class QWidget;
class UiPrompts;

// What the window does to one stored recording, whichever dialog asks: the
// Recordings dialog, its read-only view, the restore offer.
namespace recordingactions {

// Export…: asks for a file (the window's Export file types) and writes the
// recording as Export would. Empty when written or cancelled, else why not.
QString exportRecording(UiPrompts &prompts, RecordStore &store, const RecordingInfo &rec);
// Report…: asks for a PDF and writes the recording's report against the
// limits the user saved. Empty when written or cancelled, else why not.
QString reportRecording(QWidget *parent, RecordStore &store, const RecordingInfo &rec);

// Signing a recording and adding a note to it are the record's own actions
// (an entry on its chain each). Until they are here, the buttons that ask
// for them stay greyed out with the tooltip below.
bool signAvailable();
bool noteAvailable();
inline constexpr const char *kNotAvailable = "not available";
// Sign…: signs recording `id`; empty when signed or cancelled, else why not.
QString signRecording(QWidget *parent, qint64 id);
// Note…: adds a note to recording `id`; empty when added or cancelled.
QString noteRecording(QWidget *parent, qint64 id);
// The recording's sample and its signatures as one line each, for the
// Recordings list ("" where it has none).
QString sampleOf(RecordStore &store, const RecordingInfo &rec);
QString signaturesOf(RecordStore &store, const RecordingInfo &rec);

} // namespace recordingactions
