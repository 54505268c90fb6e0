#include "chart/ChartTrace.h"
#include "shell/MainCore.h"

#include <limits>

// The scales the live steps and their redraws use: the meter family's
// mappings and columns with the table's scales.
TraceParams MainCore::liveTraceParams() const
{
    const double family = m.MeterFamily.toDouble();
    TraceParams tp;
    tp.timeBase = m.TimeBase;
    tp.valueMap = chartmap::valueMapForFamily(family);
    tp.valueScale = m.ValueScale.toDouble();
    tp.tempMap = chartmap::TempMap::Scaled;
    tp.tempScale = m.TempScale.toDouble();
    tp.tempCol = chartmap::chartTempColumn(family);
    return tp;
}

// Extends the two traces by the newest row (GridRow); when it lies past the
// right axis, doubles the time base and redraws the whole log.
void MainCore::Draw_Line()
{
    const int g = m.GridRow;
    // Row 1 has no row before it: nothing to join. A logger that only
    // streams its rows draws no chart.
    if (g < 2 || streamingOnly_)
        return;
    TraceParams tp = liveTraceParams();
    chartRows_->capture(g, tp.tempCol);

    // 1.-2. The origin from row 1, the newest row's steps.
    const qint32 timeIn = m.TimeSeconds;
    const StepResult step = stepSegment(*chartRows_, tp, g, timeIn);
    m.StartSeconds = step.start;

    // 3. On or left of the right axis: one more segment of each trace.
    if (step.steps <= chartmap::kSteps) {
        Picture4.addStep(chartRows_, tp, g, timeIn, step);
        m.TimeSeconds = step.timeSeconds;
        return;
    }

    // 4. Past it: double the time base (once; a point still beyond the axis
    // doubles it again with the next reading), new frame, whole log again.
    // The time base is wide enough to keep doubling for any log.
    m.TimeSeconds = step.timeSeconds;
    if (m.TimeBase < std::numeric_limits<qint64>::max() / 2)
        m.TimeBase *= 2;
    Picture4.Cls();
    Draw_Scale();
    m.TimeText = MSFlexGrid1->TextMatrix(1, 2);
    HhMmSs_Ss();
    m.StartSeconds = m.TimeSeconds;
    tp.timeBase = m.TimeBase;
    m.TimeSeconds = Picture4.addRedraw(chartRows_, tp, m.TimeSeconds, 2, g, m.TimeSeconds);
}
