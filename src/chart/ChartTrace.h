#pragma once
#include "chart/ChartMapping.h"
#include "chart/ChartRows.h"

#include <functional>

// The two traces between consecutive data rows, computed from the chart's
// row cache the way the drawing procedures read the table: every point goes
// through the time-text rule (a rejected time keeps the time before it) and
// the midnight rule, in the order the procedures read the rows. One code
// path serves drawing, redrawing, painting and the state report.

// The scales and mappings a trace is drawn with.
struct TraceParams
{
    qint64 timeBase = 1;
    chartmap::ValueMap valueMap = chartmap::ValueMap::Plain;
    double valueScale = 0;
    chartmap::TempMap tempMap = chartmap::TempMap::Scaled;
    double tempScale = 0;
    int tempCol = 4;

    bool operator==(const TraceParams &) const = default;
};

// One step of the traces: the value segment (red) and the temperature
// segment (blue) share their x.
struct SegmentPair
{
    double x1, x2;
    double valueY1, valueY2;
    double tempY1, tempY2;
};

// Seconds of a row on the time axis from origin `start`. `timeSeconds` is
// the parser's running result: a row whose time text was rejected takes it
// as it stands, and it leaves holding this row's time.
qint64 placeRow(const RowPoint &p, qint32 &timeSeconds, qint32 start);

struct StepResult
{
    qint32 start;        // the origin, from row 1
    double steps;        // steps of the newest row from the origin
    SegmentPair pair;    // valid when steps <= 30
    qint32 timeSeconds;  // the parser's result afterwards
};

// The live step for newest row `g` (g >= 2): the origin from row 1, the
// newest row's steps, and the segment from row g - 1 as the live step
// draws it (x of the newest end from its steps).
StepResult stepSegment(const ChartRowCache &rows, const TraceParams &tp, int g, qint32 timeSeconds);

// A whole redraw: the segments into rows first..last (each from the row
// before) from origin `start`; returns the parser's result afterwards.
qint32 redrawSegments(const ChartRowCache &rows, const TraceParams &tp, qint32 start, int first, int last,
                      qint32 timeSeconds, const std::function<void(const SegmentPair &)> &segment);

// What redrawSegments returns, without computing the segments: from the
// last row with a readable time and the rows after it, a few steps
// however long the log.
qint32 redrawTimeOut(const ChartRowCache &rows, const TraceParams &tp, qint32 start, int first, int last,
                     qint32 timeSeconds);
