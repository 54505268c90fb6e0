#include "shell/MainCore.h"

#include <QSignalBlocker>

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
    const int done = m.GridRow;
    advanceGridRow();
    emit rowCompleted(done);
}

void MainCore::advanceGridRow()
{
    FlexGrid &grid = *MSFlexGrid1;
    const int done = m.GridRow;
    // The chart reads the finished row from here on (the live step has
    // usually read it already).
    const int tempCol = chartmap::chartTempColumn(m.MeterFamily.toDouble());
    if (streamingOnly_) {
        // Nothing reads the log back: a block of rows behind is let go.
        if (done % RowStore::kBlockRows == 0)
            grid.forgetRowsBefore(done - RowStore::kBlockRows);
    } else if (!chartRows_->has(done, tempCol)) {
        chartRows_->capture(done, tempCol);
    }
    m.GridRow = m.GridRow + 1;
    if (m.GridRow > 10) {
        grid.setRows(grid.Rows() + 1);
        grid.setTopRow(m.GridRow - 9);
    }
}

void MainCore::reloadTable(int rows, const std::function<void(int row, std::array<QString, 8> &cells)> &read,
                           bool drawChart)
{
    beginReload();
    reloadRows(rows, read, drawChart);
    endReload();
}

void MainCore::beginReload()
{
    // As Clear lays a table out (scales, frame), with polling as it is.
    const bool polling = m.PollingOn;
    Init_FlexGrid();
    lcd.lblLCD[10].Caption.clear();
    Picture4.Cls();
    m.PollingOn = true;
    Draw_Scale();
    m.PollingOn = polling;
}

void MainCore::markChartGap(int row)
{
    chartRows_->markGap(row);
}

void MainCore::reloadRows(int count, const std::function<void(int row, std::array<QString, 8> &cells)> &read,
                          bool drawChart)
{
    const bool polling = m.PollingOn;
    m.PollingOn = true;
    FlexGrid &grid = *MSFlexGrid1;
    {
        // The views hear of the rows once a batch, not of every cell, row
        // and scroll of a million rows on the way.
        const QSignalBlocker quiet(grid);
        std::array<QString, 8> cells;
        for (int i = 0; i < count; ++i) {
            const int r = m.GridRow;
            read(r, cells);
            for (int c = 0; c < FlexGrid::kCols; ++c)
                grid.setTextMatrix(r, c, cells[std::size_t(c)]);
            // The live reading's own last step: a fresh frame for row 1, one
            // more step (or a doubling and a redraw) after it.
            if (drawChart) {
                if (r == 1)
                    Draw_Scale();
                else
                    Draw_Line();
            }
            advanceGridRow();
        }
    }
    m.PollingOn = polling;
    if (m.GridRow > 1) {
        emit grid.dataChanged(grid.index(0, 0), grid.index(grid.rowCount() - 1, FlexGrid::kCols - 1));
        emit grid.topRowChanged(grid.TopRow());
    }
}

void MainCore::endReload()
{
    FlexGrid &grid = *MSFlexGrid1;
    const int rows = m.GridRow - 1;
    // Each row had the highlight while it was the newest and gave it up to
    // the next: the last one keeps it.
    if (rows > 0) {
        {
            const QSignalBlocker quiet(grid);
            for (int r : grid.highlightedRows())
                if (r >= 1 && r < rows)
                    for (int c = 0; c < FlexGrid::kCols; ++c)
                        grid.setCellBackColor(r, c, c == 0 ? FlexGrid::Shade::Fixed : FlexGrid::Shade::Window);
            for (int c = 0; c < FlexGrid::kCols; ++c)
                grid.setCellBackColor(rows, c, FlexGrid::Shade::Highlight);
        }
        emit grid.dataChanged(grid.index(0, 0), grid.index(grid.rowCount() - 1, FlexGrid::kCols - 1));
        emit grid.topRowChanged(grid.TopRow());
    }
    rowWritten_ = 0;
    if (rows > 0)
        lcd.lblLCD[10].Caption = QString::number(rows);
    emit changed();
}
