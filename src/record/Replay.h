#pragma once
#include "record/StoredRows.h"

#include <functional>

class MainCore;

// Puts a stored recording back into a core as the meter left it: the last
// settings frame decoded again (for the panel, the family and the chart's
// scales), every row in the table, the chart drawn (unless the recording is
// a memory download, which the chart never shows) with its lines broken
// where the log has a hole (a crash, a power cut: the recording's "gap"
// events), and the range that was chosen. The window's restore and the
// report's chart both go this way.
// `each` sees every row as it is read, for a caller that gathers something
// from the rows on the way.
void replayRecording(MainCore &core, StoredRows &stored, const RecordingInfo &info,
                     const std::function<void(const std::array<QString, 8> &)> &each = {});

// Its steps, for a restore that goes in batches between events.
namespace replay {
// A settings event decoded again as "Q" (a "P" would start a new table);
// nothing for an empty one.
void settings(MainCore &core, const QJsonObject &settingsEvent);
// The table laid out, the chart's holes marked.
void begin(MainCore &core, const std::vector<int> &gaps);
// Whether the chart draws the rows: not for a memory download.
bool drawsChart(StoredRows &stored);
// A range other than the layout's own, chosen again as a click would.
void range(MainCore &core, const RecordingInfo &info);
} // namespace replay
