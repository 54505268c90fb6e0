#pragma once
#include "record/StoredRows.h"

class MainCore;

// Puts a stored recording back into a core as the meter left it: the last
// settings frame decoded again (for the panel, the family and the chart's
// scales), every row in the table, the chart drawn (unless the recording is
// a memory download, which the chart never shows) and the range that was
// chosen. The window's restore and the report's chart both go this way.
void replayRecording(MainCore &core, StoredRows &stored, const RecordingInfo &info);
