#pragma once
#include <QString>

#include <vector>

// The real main window, shown (offscreen or on a display), fed readings
// through its receive tick. For each mark prints one line:
//   rows  cpu-ms-per-reading  wall-ms-per-reading  click-ms  bytes-per-row
// cpu and wall per reading: the last 200 readings before the mark, each
// followed by the event loop's turn (layout and repaint of every widget),
// as at a reading a second; click: a range button clicked until the chart
// has been painted again (median of 5); bytes per row: the process's
// resident memory grown since the empty window. Run it in a process of its
// own.
int windowChild(const std::vector<long> &marks);

// The same log in a Qt Charts line series (the usual pick for a Qt trend
// chart), at each mark: rows, the ms to render the chart at the window's
// size, the ms to append one point and render again, bytes per point.
int qtChartsChild(const std::vector<long> &marks);

// The window after `rows` readings, shown for `seconds` (for a screenshot
// of the display) and saved as an image to `png` when it is not empty.
int windowShotChild(long rows, double seconds, const QString &png);
