#pragma once
#include "chart/ChartMapping.h"
#include "chart/TraceSummary.h"

#include <QtGlobal>

#include <memory>
#include <vector>

class FlexGrid;

// What the chart reads from one data row, parsed once from its cells when the
// row is written: exactly what reading the cells back gives (the leading
// number, the unit texts, a rejected time text). 24 bytes a row, so a week of
// readings costs the chart about 15 MB and no redraw touches a text.
struct RowPoint
{
    double value = 0;               // leading number of the value cell (column 3)
    double temp = 0;                // leading number of the temperature cell
    qint32 tod = 0;                 // seconds since midnight, when timeOk
    quint16 extraDays = 0;          // midnights passed beyond the first (see ChartRows.cpp)
    quint8 flags = 0;
    qint8 tempCol = -1;             // the column `temp` was read from; -1 not captured

    // GapBefore: the log has a hole just before this row (the program was
    // not running: a crash, a power cut), so no line joins it to the row
    // before. (16 and 32 are the summary's own, TraceSummary.h.)
    enum : quint8 { TimeOk = 1, MilliS = 2, MicroS = 4, Celsius = 8, GapBefore = 64 };
    bool timeOk() const { return flags & TimeOk; }
    bool gapBefore() const { return flags & GapBefore; }
    bool celsius() const { return flags & Celsius; }
    chartmap::CondUnit unit() const
    {
        return flags & MilliS ? chartmap::CondUnit::MilliS
            : flags & MicroS  ? chartmap::CondUnit::MicroS
                              : chartmap::CondUnit::None;
    }
};

static_assert(sizeof(RowPoint) == 24);

// The chart's copy of the table's rows 1..count(), in fixed chunks so that
// growing it never moves what is already there. One cache per recording: a
// new table gets a new cache, and traces still on the chart from the old
// table keep theirs until the chart is cleared.
class ChartRowCache
{
public:
    explicit ChartRowCache(const FlexGrid *grid) : grid_(grid) {}

    int count() const { return count_; }
    bool has(int row, int tempCol) const { return row >= 1 && row <= count_ && entry(row).tempCol == tempCol; }

    // Parses row `row` of the table (and any row before it not yet held).
    void capture(int row, int tempCol);

    // The row as a chart reads it with its temperature from `tempCol`. A row
    // held with another temperature column is read from the table again
    // while this cache still belongs to the table.
    RowPoint point(int row, int tempCol) const;

    // The table has been laid out anew: its cells are no longer these rows.
    void retire() { grid_ = nullptr; }

    // The log has a hole before row `row` (2 and on): no line joins it to
    // the row before. Marked before or after the row is captured; a few
    // per recording (one per crash), kept as a sorted list of rows, and in
    // the row's own flags once it is held.
    void markGap(int row);

    // Row `row` (1..count()) as captured.
    const RowPoint &held(int row) const { return entry(row); }
    // The rows by blocks, for drawing many of them at once.
    const TraceSummary &summary() const { return summary_; }

    std::size_t memoryBytes() const;

private:
    // 4096 rows (96 KB) a chunk: a week of readings is some 150 chunks, and
    // a new recording does not pay for 65536 rows before its first one.
    static constexpr int kChunkBits = 12;
    static constexpr int kChunk = 1 << kChunkBits;

    const RowPoint &entry(int row) const
    {
        const int i = row - 1;
        return chunks_[std::size_t(i >> kChunkBits)][std::size_t(i & (kChunk - 1))];
    }
    RowPoint &entry(int row)
    {
        const int i = row - 1;
        return chunks_[std::size_t(i >> kChunkBits)][std::size_t(i & (kChunk - 1))];
    }
    RowPoint parse(int row, int tempCol) const;
    quint16 extraDaysFor(int row, const RowPoint &p) const;

    const FlexGrid *grid_;
    std::vector<int> gaps_;   // rows with a hole before them, ascending
    std::vector<std::unique_ptr<RowPoint[]>> chunks_;
    int count_ = 0;
    TraceSummary summary_;
};
