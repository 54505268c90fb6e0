#include "table/GridView.h"

#include "shell/Twips.h"
#include "table/FlexGrid.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QMenu>
#include <QMetaMethod>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionSlider>

namespace {

// A scroll bar that paints again only when it would look different: each
// reading stretches the range by one row, which over a long log moves the
// slider by less than a pixel.
class QuietScrollBar : public QScrollBar
{
public:
    using QScrollBar::QScrollBar;

protected:
    void sliderChange(SliderChange change) override
    {
        QStyleOptionSlider opt;
        initStyleOption(&opt);
        const QRect slider = style()->subControlRect(QStyle::CC_ScrollBar, &opt, QStyle::SC_ScrollBarSlider, this);
        const Look look{slider, value() == minimum(), value() == maximum(), maximum() > minimum()};
        if (change != SliderOrientationChange && look == shown_)
            return;
        shown_ = look;
        QScrollBar::sliderChange(change);
    }

private:
    // The slider, and whether each arrow is enabled and the bar is needed.
    struct Look
    {
        QRect slider;
        bool atMinimum = false, atMaximum = false, scrolls = false;
        bool operator==(const Look &) const = default;
    };
    Look shown_;
};

} // namespace

// The rows of the grid the view shows: model row i is the grid's data row
// top + i + 1, for `span` rows. The grid's shades become this platform's
// colours: button face for the fixed column, window background elsewhere,
// the panel's light blue for the newest row.
class RowWindow : public QAbstractTableModel
{
public:
    RowWindow(FlexGrid *grid, QObject *parent) : QAbstractTableModel(parent), grid_(grid)
    {
        connect(grid, &QAbstractItemModel::dataChanged, this,
                [this](const QModelIndex &tl, const QModelIndex &br, const QList<int> &roles) {
                    const int lo = qMax(tl.row(), top_), hi = qMin(br.row(), top_ + span_ - 1);
                    if (lo > hi)
                        return;
                    QList<int> mapped = roles;
                    if (roles.contains(FlexGrid::ShadeRole))
                        mapped << Qt::BackgroundRole;
                    emit dataChanged(index(lo - top_, tl.column()), index(hi - top_, br.column()), mapped);
                });
        connect(grid, &QAbstractItemModel::headerDataChanged, this, &QAbstractItemModel::headerDataChanged);
        connect(grid, &QAbstractItemModel::modelAboutToBeReset, this, [this] { beginResetModel(); });
        connect(grid, &QAbstractItemModel::modelReset, this, [this] {
            span_ = qMin(span_, grid_->rowCount());
            top_ = qBound(0, top_, grid_->rowCount() - span_);
            endResetModel();
        });
    }

    int top() const { return top_; }
    int span() const { return span_; }

    // Moves the window without a word to the view, which scrolls its
    // pixels by as many rows itself and paints only the rows uncovered.
    void moveQuietly(int top) { top_ = top; }

    // Shows grid data rows top + 1 .. top + span.
    void show(int top, int span)
    {
        if (span > span_) {
            beginInsertRows({}, span_, span - 1);
            span_ = span;
            endInsertRows();
        } else if (span < span_) {
            beginRemoveRows({}, span, span_ - 1);
            span_ = span;
            endRemoveRows();
        }
        if (top != top_) {
            top_ = top;
            if (span_ > 0)
                emit dataChanged(index(0, 0), index(span_ - 1, FlexGrid::kCols - 1));
        }
    }

    int rowCount(const QModelIndex &parent = {}) const override { return parent.isValid() ? 0 : span_; }
    int columnCount(const QModelIndex &parent = {}) const override { return parent.isValid() ? 0 : FlexGrid::kCols; }
    QVariant headerData(int section, Qt::Orientation o, int role) const override
    {
        return grid_->headerData(section, o, role);
    }
    QVariant data(const QModelIndex &index, int role) const override
    {
        if (!index.isValid())
            return {};
        const QModelIndex at = grid_->index(index.row() + top_, index.column());
        if (role != Qt::BackgroundRole)
            return grid_->data(at, role);
        switch (FlexGrid::Shade(grid_->data(at, FlexGrid::ShadeRole).toInt())) {
        case FlexGrid::Shade::Highlight: return QBrush(QColor(128, 128, 255));
        case FlexGrid::Shade::Fixed: return QApplication::palette().button();
        case FlexGrid::Shade::Window: break;
        }
        return QApplication::palette().base();
    }

private:
    FlexGrid *grid_;
    int top_ = 0, span_ = 0;
};

GridView::GridView(FlexGrid *grid, QWidget *parent)
    : QTableView(parent), grid_(grid), window_(new RowWindow(grid, this))
{
    setObjectName(QStringLiteral("MSFlexGrid1"));
    setVerticalScrollBar(new QuietScrollBar(Qt::Vertical, this));
    setModel(window_);
    verticalHeader()->hide();
    verticalHeader()->setDefaultSectionSize(px(240));
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
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
    // Rows come at the end, each followed by a new top row: a view at the
    // end stays there meanwhile, so that a reading scrolls the table once.
    connect(grid, &QAbstractItemModel::rowsInserted, this, [this] {
        if (top_ == verticalScrollBar()->maximum() && top_ > 0)
            top_ = grid_->rowCount();
        syncWindow();
    });
    connect(grid, &QAbstractItemModel::rowsRemoved, this, &GridView::syncWindow);
    syncWindow();
}

int GridView::firstShownRow() const { return window_->top() + 1; }

void GridView::applyWidths()
{
    for (int c = 0; c < FlexGrid::kCols; ++c)
        setColumnWidth(c, px(grid_->ColWidth(c)));
}

void GridView::applyTopRow(int row)
{
    // Model row 0 is grid row 1.
    top_ = row - 1;
    syncWindow();
}

void GridView::updateGeometries()
{
    // The table view lays out its headers and sets the scroll bars for the
    // rows it was given; the vertical one is then set for the whole grid.
    // Laid out again in the middle of setting the window (the scroll bar
    // came or went): the window is set once more afterwards.
    const bool outer = syncing_;
    syncing_ = true;
    QTableView::updateGeometries();
    syncing_ = outer;
    if (outer)
        again_ = true;
    else
        syncWindow();
}

void GridView::scrollContentsBy(int dx, int dy)
{
    if (dx)
        QTableView::scrollContentsBy(dx, 0);
    if (dy && !syncing_) {
        top_ = verticalScrollBar()->value();
        syncWindow();
    }
}

// The scroll bar over the whole grid and the window under it. As a table
// view scrolling by rows: the wanted row on top, or at the end the last row
// at the bottom edge with the top row cut.
void GridView::syncWindow()
{
    if (syncing_)
        return;
    syncing_ = true;
    // Once more when the scroll bars changed the view's size meanwhile.
    for (int pass = 0; pass < 3; ++pass) {
        again_ = false;
        setWindow();
        if (!again_)
            break;
    }
    syncing_ = false;
}

void GridView::setWindow()
{
    const int total = grid_->rowCount();
    const int rowHeight = qMax(1, verticalHeader()->defaultSectionSize());
    const int fit = qMax(1, viewport()->height() / rowHeight);   // rows wholly in view
    const int last = qMax(0, total - fit);
    top_ = qBound(0, top_, last);
    const bool atEnd = top_ == last && last > 0;
    // The window is taller than the view could ever be, so that the table
    // view lays out its scroll bars as for the whole grid (a window that
    // just fits would hide one, and the other would come and go with it).
    const int span = qMin(total, maximumViewportSize().height() / rowHeight + 2);
    const int first = atEnd ? total - span : top_;
    const int offsetBefore = verticalHeader()->offset();
    const int moved = first - window_->top();
    if (span == window_->span() && qAbs(moved) < span && moved != 0) {
        // A few rows on, as a reading scrolls the table: move the pixels
        // and paint only the rows that come into view.
        window_->moveQuietly(first);
        viewport()->scroll(0, -moved * rowHeight);
    } else {
        window_->show(first, span);
    }
    if (atEnd)
        verticalHeader()->setOffsetToLastSection();
    else
        verticalHeader()->setOffset(0);
    if (verticalHeader()->offset() != offsetBefore)
        viewport()->update();
    // The scroll bar last, as the table view may have set it for the
    // window meanwhile. While it stays needed, its signals would only bring
    // the scroll area to lay itself out and paint the bar again, and here
    // (this is the scrolling); whether it is needed is the scroll area's.
    QScrollBar *bar = verticalScrollBar();
    const QSignalBlocker quiet(bar->maximum() > 0 && last > 0 ? bar : nullptr);
    bar->setRange(0, last);
    bar->setPageStep(fit);
    bar->setSingleStep(1);
    bar->setValue(top_);
}

void GridView::contextMenuEvent(QContextMenuEvent *e)
{
    QMenu menu(this);
    menu.addAction(QStringLiteral("Save report as…"), this, &GridView::reportRequested);
    menu.addAction(QStringLiteral("Report limits…"), this, &GridView::limitsRequested);
    // Shown only where someone listens: a table of a recording opened
    // read-only has no recordings of its own to list.
    if (isSignalConnected(QMetaMethod::fromSignal(&GridView::recordingsRequested))) {
        menu.addSeparator();
        QAction *recordings = menu.addAction(QStringLiteral("Recordings…"), this, &GridView::recordingsRequested);
        recordings->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
    }
    menu.exec(e->globalPos());
}
