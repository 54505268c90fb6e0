#include "chart/ChartTrace.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

double valueY(const TraceParams &tp, const RowPoint &p)
{
    return chartmap::valueY(tp.valueMap, tp.valueScale, p.value, p.unit());
}

double tempY(const TraceParams &tp, const RowPoint &p)
{
    return chartmap::tempY(tp.tempMap, tp.tempScale, p.temp, p.celsius());
}

// The segment into a row after a hole in the log has no start: every
// renderer breaks the line there (a segment with a coordinate that is not a
// number is drawn as nothing), while the rows still count and the parser
// runs through them as before.
double startX(const RowPoint &into, double x)
{
    return into.gapBefore() ? std::nan("") : x;
}

} // namespace

qint64 placeRow(const RowPoint &p, qint32 &timeSeconds, qint32 start)
{
    if (p.timeOk())
        timeSeconds = p.tod;
    qint64 t = timeSeconds;
    // Earlier than row 1: the log has passed midnight.
    if (start > t)
        t += chartmap::kDay;
    // Each further midnight the rows have passed.
    if (p.timeOk())
        t += qint64(p.extraDays) * chartmap::kDay;
    t = std::clamp<qint64>(t, std::numeric_limits<qint32>::min(), std::numeric_limits<qint32>::max());
    timeSeconds = qint32(t);
    return t;
}

StepResult stepSegment(const ChartRowCache &rows, const TraceParams &tp, int g, qint32 timeSeconds)
{
    StepResult r{};
    // 1. The origin: row 1's time.
    const RowPoint first = rows.point(1, tp.tempCol);
    if (first.timeOk())
        timeSeconds = first.tod;
    r.start = timeSeconds;
    // 2. The newest row's steps.
    const RowPoint newest = rows.point(g, tp.tempCol);
    const qint64 t2 = placeRow(newest, timeSeconds, r.start);
    r.steps = chartmap::timeSteps(t2, r.start, tp.timeBase);
    // 3. The segment from the row before.
    if (r.steps <= chartmap::kSteps) {
        const RowPoint before = rows.point(g - 1, tp.tempCol);
        const qint64 t1 = placeRow(before, timeSeconds, r.start);
        r.pair = {startX(newest, chartmap::timeX(t1, r.start, tp.timeBase)), chartmap::kOriginX + chartmap::kStepX * r.steps,
                  valueY(tp, before), valueY(tp, newest), tempY(tp, before), tempY(tp, newest)};
    }
    r.timeSeconds = timeSeconds;
    return r;
}

qint32 redrawSegments(const ChartRowCache &rows, const TraceParams &tp, qint32 start, int first, int last,
                      qint32 timeSeconds, const std::function<void(const SegmentPair &)> &segment)
{
    if (first > last)
        return timeSeconds;
    RowPoint a = rows.point(first - 1, tp.tempCol);
    for (int i = first; i <= last; ++i) {
        const RowPoint b = rows.point(i, tp.tempCol);
        // Both ends go through the parser in turn, as the procedures read
        // them: row i - 1, then row i.
        const qint64 t1 = placeRow(a, timeSeconds, start);
        const qint64 t2 = placeRow(b, timeSeconds, start);
        if (segment)
            segment({startX(b, chartmap::timeX(t1, start, tp.timeBase)), chartmap::timeX(t2, start, tp.timeBase),
                     valueY(tp, a), valueY(tp, b), tempY(tp, a), tempY(tp, b)});
        a = b;
    }
    return timeSeconds;
}

qint32 redrawTimeOut(const ChartRowCache &rows, const TraceParams &tp, qint32 start, int first, int last,
                     qint32 timeSeconds)
{
    if (first > last)
        return timeSeconds;
    if (first < 2 || last > rows.count())
        return redrawSegments(rows, tp, start, first, last, timeSeconds, nullptr);
    // The redraw places row first - 1 once, each row up to last - 1 twice
    // (as the end of one segment and the start of the next), and row last
    // once. A row with a readable time sets the result whatever came before
    // it; each placement of a row without one moves it on by a day while it
    // is still before the origin.
    const int timed = rows.summary().lastTimed(rows, last);
    qint64 untimed;
    if (timed >= first - 1) {
        placeRow(rows.held(timed), timeSeconds, start);
        untimed = timed == last ? 0 : 2 * qint64(last - timed) - 1;
    } else {
        untimed = 2 * qint64(last - first + 1);
    }
    const RowPoint noTime;
    for (; untimed > 0 && start > timeSeconds; --untimed)
        placeRow(noTime, timeSeconds, start);
    return timeSeconds;
}
