#include "tidy/TableReadings.h"

#include "table/FlexGrid.h"
#include "tidy/RowBody.h"

ReadingSource tableReadings(const FlexGrid &grid, int rows, const tidy::Context &context, const QDateTime &now)
{
    ReadingSource s;
    s.rows = rows;
    s.forEach = [&grid, rows, context, now](const ReadingSource::Take &take) {
        tidy::RowFacts f;
        f.header = context.header;
        f.source = tidy::Source::Unknown;
        f.downloaded = now;
        for (int r = 1; r <= rows; ++r) {
            f.row = r;
            for (int c = 0; c < FlexGrid::kCols; ++c)
                f.cells[std::size_t(c)] = grid.TextMatrix(r, c);
            if (!take(tidy::reading(context, 0, tidy::rowBody(f))))
                break;
        }
        return QString();
    };
    return s;
}
