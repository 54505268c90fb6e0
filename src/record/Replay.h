#pragma once
#include "record/StoredRows.h"

#include <functional>

class MainCore;

// Puts a stored recording back into a core as the meter left it: the last
// settings frame decoded again (for the panel, the family and the chart's
// scales), every row in the table, the chart drawn (unless the recording is
// a memory download, which the chart never shows) and the range that was
// chosen. The window's restore and the report's chart both go this way.
// `each` sees every row as it is read, for a caller that gathers something
// from the rows on the way.
void replayRecording(MainCore &core, StoredRows &stored, const RecordingInfo &info,
                     const std::function<void(const std::array<QString, 8> &)> &each = {});
