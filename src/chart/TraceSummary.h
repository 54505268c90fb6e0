#pragma once
#include <QtGlobal>

#include <algorithm>
#include <memory>
#include <vector>

class ChartRowCache;

// The chart's rows summarised by blocks of 32, 64, 128, ... rows, so that a
// picture of ten million rows is drawn from a few blocks per pixel column
// instead of from every row. For each block: its lowest and highest value
// and temperature (as read, before any scale), the earliest and latest time
// its rows land at from row 1's time (before any time base), and which row
// properties all or any of its rows have. None of it depends on the scales
// or the time base, so it stays valid across a doubling of the time base
// and a range change; it is kept up to date as rows are captured, a few
// nodes a row.
//
// A node holds the numbers themselves, not the rows they came from: a
// redraw then reads nodes only, which lie together, and touches a row only
// where a pixel column's extreme is drawn; the rows of a year lie scattered
// over hundreds of megabytes, where each read would be a wait on memory.
// The nodes are 42 bytes; with the smallest block at 32 rows that is about
// 2.6 bytes a row; a pixel column of fewer rows is walked row by row.
class TraceSummary
{
public:
    static constexpr int kLeafBits = 5;

    // Row properties a block has in all or in any of its rows: the
    // RowPoint flags (a block with any GapBefore is never drawn whole: its
    // line breaks inside), and:
    enum : quint8 {
        Finite = 16,    // value and temperature are finite numbers
        OwnTemp = 32,   // the temperature was read from tempCol()
    };

#pragma pack(push, 4)
    struct Node
    {
        double lowValue, highValue, lowTemp, highTemp;   // the extremes as read
        qint32 earliest, latest;   // times of the rows with a readable time
        quint8 all, any;           // properties of all / of any of its rows
    };
#pragma pack(pop)

    // Row `row` of `rows` has been captured, for the first time or again.
    void update(const ChartRowCache &rows, int row);

    // Row 1 has a readable time: the times are placed from it.
    bool placed() const { return placed_; }
    qint32 start() const { return start_; }
    int tempCol() const { return tempCol_; }

    int levels() const { return int(levels_.size()); }
    int nodes(int level) const { return int(levels_[std::size_t(level)].size()); }
    // Node `index` of `level` covers rows first(level, index) onwards,
    // rowsPer(level) of them (fewer in the last node of a level).
    static int first(int level, int index) { return (index << (level + kLeafBits)) + 1; }
    static int rowsPer(int level) { return 1 << (level + kLeafBits); }
    const Node &node(int level, int index) const
    {
        ++reads_;
        return levels_[std::size_t(level)][std::size_t(index)];
    }

    // The last row at or before `row` with a readable time; 0 if none.
    int lastTimed(const ChartRowCache &rows, int row) const;

    // Nodes read since the summary was made: what a redraw costs.
    quint64 reads() const { return reads_; }
    std::size_t memoryBytes() const;

private:
    void refresh(const ChartRowCache &rows, int level, int index);
    void rebuild(const ChartRowCache &rows);

    // One level's nodes in chunks of 256 that never move as it grows: an
    // index is a shift and a mask away from its node, where a redraw reads
    // tens of thousands of them.
    class Level
    {
    public:
        static constexpr int kBits = 8;
        static constexpr std::size_t kChunk = std::size_t(1) << kBits;
        std::size_t size() const { return size_; }
        void grow(std::size_t n)
        {
            while (chunks_.size() * kChunk < n)
                chunks_.push_back(std::make_unique<Node[]>(kChunk));
            size_ = std::max(size_, n);
        }
        Node &operator[](std::size_t i) { return chunks_[i >> kBits][i & (kChunk - 1)]; }
        const Node &operator[](std::size_t i) const { return chunks_[i >> kBits][i & (kChunk - 1)]; }
        std::size_t memoryBytes() const { return chunks_.size() * (kChunk * sizeof(Node) + sizeof(chunks_[0])); }

    private:
        std::vector<std::unique_ptr<Node[]>> chunks_;
        std::size_t size_ = 0;
    };
    std::vector<Level> levels_;
    bool placed_ = false;
    qint32 start_ = 0;
    int tempCol_ = -1;
    mutable quint64 reads_ = 0;
};
