#pragma once
#include <QTableView>

class FlexGrid;

// The data table on screen: a view over the grid's model that keeps the
// grid's column widths, colours and first visible row.
class GridView : public QTableView
{
    Q_OBJECT
public:
    explicit GridView(FlexGrid *grid, QWidget *parent = nullptr);

signals:
    void reportRequested();   // "Save report as…" from the context menu

protected:
    void contextMenuEvent(QContextMenuEvent *e) override;

private:
    void applyWidths();
    void applyTopRow(int row);

    FlexGrid *grid_;
    int wantedTop_ = 1;   // the grid's first visible row, to be kept
};
