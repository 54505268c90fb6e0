#include "shell/MainCore.h"

// Begin a row: the previous row gets its normal colours back, the new row
// (GridRow) the highlight, so the newest reading always stands out.
void MainCore::beginGridRow()
{
    FlexGrid &grid = *MSFlexGrid1;
    const int r = m.GridRow;
    if (r > 1) {
        grid.setCellBackColor(r - 1, 0, FlexGrid::Shade::Fixed);
        for (int c = 1; c < FlexGrid::kCols; ++c)
            grid.setCellBackColor(r - 1, c, FlexGrid::Shade::Window);
    }
    for (int c = 0; c < FlexGrid::kCols; ++c)
        grid.setCellBackColor(r, c, FlexGrid::Shade::Highlight);
    rowWritten_ = r;
}

// End a row: advance GridRow; from the tenth reading on the table grows by a
// row and scrolls so that the newest rows stay in view with an empty row below.
void MainCore::endGridRow()
{
    FlexGrid &grid = *MSFlexGrid1;
    const int done = m.GridRow;
    // The chart reads the finished row from here on (the live step has
    // usually read it already).
    const int tempCol = chartmap::chartTempColumn(m.MeterFamily.toDouble());
    if (!chartRows_->has(done, tempCol))
        chartRows_->capture(done, tempCol);
    m.GridRow = m.GridRow + 1;
    if (m.GridRow > 10) {
        grid.setRows(grid.Rows() + 1);
        grid.setTopRow(m.GridRow - 9);
    }
    emit rowCompleted(done);
}
