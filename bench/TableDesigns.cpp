#include "TableDesigns.h"

#include "table/FlexGrid.h"
#include "table/GridView.h"

#include <QElapsedTimer>
#include <QScrollBar>
#include <QTableWidget>

#include <algorithm>
#include <array>
#include <fstream>
#include <vector>

long residentBytes()
{
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return resident * 4096;
}

namespace {

// The eight texts of a conductivity row, varying as readings do.
std::array<QString, 8> rowTexts(long i)
{
    const int s = int(i % 60), m = int(i / 60 % 60), h = int(i / 3600 % 24);
    const int cond = 1400 + int(i % 37);
    return {QString::number(i),
            QStringLiteral("3-07"),
            QStringLiteral("%1:%2:%3").arg(h).arg(m, 2, 10, QLatin1Char('0')).arg(s, 2, 10, QLatin1Char('0')),
            QStringLiteral("%1 uS/cm").arg(cond),
            QStringLiteral("%1 R.cm").arg(1000000 / cond),
            QStringLiteral("%1 mg/L").arg(cond * 7 / 10),
            QStringLiteral("0.70 ppt"),
            QStringLiteral("25.%1°C(ATC)").arg(i % 10)};
}

// Row r (1-based) gets the highlight, row r - 1 loses it; from row 10 on the
// table grows by one and scrolls so the newest rows stay in view.
struct Ours
{
    FlexGrid grid;
    GridView view{&grid};
    void append(long r, const std::array<QString, 8> &cells)
    {
        const int row = int(r);
        if (row > 1) {
            grid.setCellBackColor(row - 1, 0, FlexGrid::Shade::Fixed);
            for (int c = 1; c < 8; ++c)
                grid.setCellBackColor(row - 1, c, FlexGrid::Shade::Window);
        }
        for (int c = 0; c < 8; ++c) {
            grid.setCellBackColor(row, c, FlexGrid::Shade::Highlight);
            grid.setTextMatrix(row, c, cells[std::size_t(c)]);
        }
        if (row + 1 > 10) {
            grid.setRows(grid.Rows() + 1);
            grid.setTopRow(row + 1 - 9);
        }
    }
};

struct Classic
{
    QTableWidget table{12, 8};
    const QBrush normal{Qt::white}, fixed{QColor(240, 240, 240)}, highlight{QColor(128, 128, 255)};
    void append(long r, const std::array<QString, 8> &cells)
    {
        const int row = int(r);
        if (row > 1)
            for (int c = 0; c < 8; ++c)
                table.item(row - 1, c)->setBackground(c == 0 ? fixed : normal);
        for (int c = 0; c < 8; ++c) {
            auto *item = new QTableWidgetItem(cells[std::size_t(c)]);
            item->setBackground(highlight);
            table.setItem(row, c, item);
        }
        if (row + 1 > 10) {
            table.setRowCount(table.rowCount() + 1);
            // Straight to the scroll bar, as our view does: scrollToItem()
            // would lay out every row again on each reading.
            table.verticalScrollBar()->setValue(row + 1 - 9 - 1);
        }
    }
};

template <class Table>
TableFigures run(long rows, double budgetSeconds)
{
    const long before = residentBytes();
    Table t;
    std::vector<double> last;
    last.reserve(1000);
    QElapsedTimer clock, total;
    total.start();
    long r = 1;
    for (; r <= rows && total.nsecsElapsed() < budgetSeconds * 1e9; ++r) {
        const auto cells = rowTexts(r);
        clock.start();
        t.append(r, cells);
        if (last.size() == 1000)
            last.clear();
        last.push_back(clock.nsecsElapsed() / 1000.0);
    }
    std::sort(last.begin(), last.end());
    TableFigures f;
    f.rows = r - 1;
    f.bytesPerRow = double(residentBytes() - before) / double(f.rows);
    f.medianUs = last[last.size() / 2];
    f.p99Us = last[std::min(last.size() - 1, last.size() * 99 / 100)];
    return f;
}

} // namespace

TableFigures appendRows(TableDesign design, long rows, double budgetSeconds)
{
    return design == TableDesign::Ours ? run<Ours>(rows, budgetSeconds) : run<Classic>(rows, budgetSeconds);
}
