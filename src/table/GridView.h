#pragma once
#include <QTableView>

class FlexGrid;
class RowWindow;

// The data table on screen: a view over the grid that keeps the grid's
// column widths, colours and first visible row.
//
// The view is given only the rows it shows (a window of the grid, see
// RowWindow in GridView.cpp) and runs the vertical scroll bar over the whole
// grid itself: a table view keeps a header section per model row and walks
// them on every scroll, which at millions of rows costs milliseconds and
// megabytes per reading. On screen it is the same table.
class GridView : public QTableView
{
    Q_OBJECT
public:
    explicit GridView(FlexGrid *grid, QWidget *parent = nullptr);

    // The grid row (1, 2, ...) shown at the top, whole or in part.
    int firstShownRow() const;

signals:
    void reportRequested();   // "Save report as…" from the context menu
    void recordingsRequested();   // "Recordings…"
    void limitsRequested();       // "Report limits…"

protected:
    void contextMenuEvent(QContextMenuEvent *e) override;
    void updateGeometries() override;
    void scrollContentsBy(int dx, int dy) override;

private:
    void applyWidths();
    void applyTopRow(int row);
    void syncWindow();
    void setWindow();

    FlexGrid *grid_;
    RowWindow *window_;
    int top_ = 0;            // the scroll bar's value: the first model row wanted on top
    bool syncing_ = false;
    bool again_ = false;     // laid out anew while the window was being set
};
