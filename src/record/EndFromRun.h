#pragma once
#include "record/RecordStore.h"

// The end of a recording that a later recording of the same program run
// gives it, read from what the store holds, without a byte changed.
//
// Stores of the first layout ended a recording silently when the next one of
// its run began (Clear, a settings frame that laid a table out), so only the
// next recording shows that it ended. A run is told by its clocks: every
// event carries the computer's time (utc) and the run's own monotonic clock
// (mono_ms, counted from the program's start), and utc - mono_ms, the
// moment the run began, is the same in every event of one run (to a few
// milliseconds; a clock jump is itself an event, carrying the new
// difference). A recording with no end counts as ended by a later recording
// (a higher id) from the same host, user and port that is not the first of
// its run (it has no "start" event of its own) and whose first event
// ("begin") has that moment within 250 ms of the recording's last event and
// comes after it on the run's clock. It ended when that one began, "how"
// following the cause of its begin ("Clear" → "cleared", else "new table").
// A recording cut off by a crash has no later one of its run and stays
// unfinished; where the rule cannot tell (the port changed, the clock was
// set between), a recording stays unfinished too, and is offered rather
// than hidden.
//
// Sets rec.ended and rec.endedHow if so; `rec` has no end of its own.
void readEndFromRun(SqliteDb &db, RecordingInfo &rec);
