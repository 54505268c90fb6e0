#include "table/GridView.h"

#include "shell/Twips.h"
#include "table/FlexGrid.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QIdentityProxyModel>
#include <QMenu>
#include <QScrollBar>

namespace {

// Maps the grid's shades to this platform's colours: button face for the
// fixed column, window background elsewhere, the panel's light blue for the
// newest row.
class ShadeProxy : public QIdentityProxyModel
{
public:
    using QIdentityProxyModel::QIdentityProxyModel;
    QVariant data(const QModelIndex &index, int role) const override
    {
        if (role != Qt::BackgroundRole)
            return QIdentityProxyModel::data(index, role);
        const auto shade = FlexGrid::Shade(QIdentityProxyModel::data(index, FlexGrid::ShadeRole).toInt());
        switch (shade) {
        case FlexGrid::Shade::Highlight: return QBrush(QColor(128, 128, 255));
        case FlexGrid::Shade::Fixed: return QApplication::palette().button();
        case FlexGrid::Shade::Window: break;
        }
        return QApplication::palette().base();
    }
};

} // namespace

GridView::GridView(FlexGrid *grid, QWidget *parent) : QTableView(parent), grid_(grid)
{
    setObjectName(QStringLiteral("MSFlexGrid1"));
    auto *proxy = new ShadeProxy(this);
    proxy->setSourceModel(grid);
    setModel(proxy);
    verticalHeader()->hide();
    verticalHeader()->setDefaultSectionSize(px(240));
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    setSelectionMode(QAbstractItemView::NoSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setFocusPolicy(Qt::NoFocus);
    setWordWrap(false);
    QFont f(QStringLiteral("Arial"));
    f.setPointSizeF(9);
    setFont(f);
    horizontalHeader()->setFont(f);
    applyWidths();
    connect(grid, &FlexGrid::columnWidthsChanged, this, &GridView::applyWidths);
    connect(grid, &FlexGrid::topRowChanged, this, &GridView::applyTopRow);
    connect(grid, &QAbstractItemModel::modelReset, this, [this] { applyTopRow(grid_->TopRow()); });
    // The view takes in new rows later than the grid reports its top row:
    // a top row beyond the scroll bar's range as it stands is clamped. So
    // whenever the range catches up, the wanted row is set again; after a
    // burst the view then stands where the grid says.
    connect(verticalScrollBar(), &QScrollBar::rangeChanged, this, [this] {
        if (verticalScrollBar()->value() != wantedTop_ - 1)
            verticalScrollBar()->setValue(wantedTop_ - 1);
    });
}

void GridView::applyWidths()
{
    for (int c = 0; c < FlexGrid::kCols; ++c)
        setColumnWidth(c, px(grid_->ColWidth(c)));
}

void GridView::applyTopRow(int row)
{
    // Model row 0 is grid row 1.
    wantedTop_ = row;
    verticalScrollBar()->setValue(row - 1);
}

void GridView::contextMenuEvent(QContextMenuEvent *e)
{
    QMenu menu(this);
    menu.addAction(QStringLiteral("Save report as…"), this, &GridView::reportRequested);
    menu.exec(e->globalPos());
}
