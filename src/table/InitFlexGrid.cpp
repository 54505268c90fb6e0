#include "shell/MainCore.h"
#include "table/GridLayouts.h"

#include <cmath>

// Empties the table and lays it out for the current meter family; resets the
// chart's scales and the reading fields of the display mirror.
void MainCore::Init_FlexGrid()
{
    FlexGrid &grid = *MSFlexGrid1;
    grid.Clear();
    // The chart reads the new table from a cache of its own; traces still
    // on the chart keep the old one until it is cleared.
    chartRows_->retire();
    chartRows_ = std::make_shared<ChartRowCache>(MSFlexGrid1);
    m.GridRow = 1;
    grid.setTopRow(1);
    m.TimeBase = 1;

    const double family = m.MeterFamily.toDouble();   // never received counts as pH
    if (family >= 0 && family <= 4 && family == std::floor(family)) {
        const auto &layout = gridlayout::kLayouts[std::size_t(family)];
        Frame1Visible = int(family) == gridlayout::kCondFamily;
        grid.setFormatString(QString::fromUtf16(layout.format));
        m.ValueScale = layout.valueScale;
        if (int(family) == gridlayout::kCondFamily) {
            // The default range comes with the layout; nobody chose it.
            layingOut_ = true;
            Option1_Click(gridlayout::kDefaultCondRange);
            layingOut_ = false;
        }
        m.TempScale = layout.tempScale;
        for (int c = 0; c < layout.widthCount; ++c)
            grid.setColWidth(c, layout.widths[std::size_t(c)]);
    }
    // A family outside 0..4 keeps the previous layout and scales.

    for (int i : {0, 1, 2, 3, 4, 5, 6, 10, 11})
        lcd.lblLCD[std::size_t(i)].Caption.clear();
    emit tableLaidOut(decoding_);
}
