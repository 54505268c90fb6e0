#include "shell/MainCore.h"

#include <array>

namespace {

// The six ranges: chart units per uS/cm, so that each full scale is the
// plot's 6000 units.
constexpr std::array<double, 6> kRangeScale{300, 30, 3, 0.3, 0.03, 0.003};

} // namespace

// A conductivity range button: the new value scale, and while polling the
// chart's frame and the whole logged history at that scale.
void MainCore::Option1_Click(int index)
{
    // 1. The scale of the range.
    if (index >= 0 && index < int(kRangeScale.size())) {
        m.ValueScale = kRangeScale[std::size_t(index)];
        Option1Value = index;
        if (!layingOut_)
            emit rangeChosen(index);
    }
    // 2. Not polling: only later drawing uses the new scale.
    if (!m.PollingOn)
        return;
    // 3. A new frame.
    Picture4.Cls();
    Draw_Scale();
    // 4. The origin.
    m.TimeText = MSFlexGrid1->TextMatrix(1, 2);
    HhMmSs_Ss();
    m.StartSeconds = m.TimeSeconds;
    // 5. Every logged row again, always with the conductivity columns and the
    // range buttons' own temperature scale: the buttons exist only for the
    // conductivity table.
    TraceParams tp;
    tp.timeBase = m.TimeBase;
    tp.valueMap = chartmap::ValueMap::Cond;
    tp.valueScale = m.ValueScale.toDouble();
    tp.tempMap = chartmap::TempMap::CondRange;
    tp.tempScale = 120;
    tp.tempCol = 7;
    m.TimeSeconds = Picture4.addRedraw(chartRows_, tp, m.TimeSeconds, 2, m.GridRow - 1, m.TimeSeconds);
}

// A click on the chart keeps its drawing across repaints from then on; the
// window keeps it anyway, so nothing else changes.
void MainCore::Picture4_Click()
{
    Picture4.AutoRedraw = true;
}
