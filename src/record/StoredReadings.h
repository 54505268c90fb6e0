#pragma once
#include "record/RecordStore.h"
#include "tidy/ReadingSource.h"

// The readings of stored recording `rec`, made from its row bodies in
// order, each the object the broker carries for it (with the recording's
// column captions and the model announced before it). `store` must stay
// open while the source is read.
ReadingSource storedReadings(RecordStore &store, const RecordingInfo &rec);
