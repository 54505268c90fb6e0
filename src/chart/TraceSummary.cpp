#include "chart/TraceSummary.h"

#include "chart/ChartRows.h"
#include "chart/ChartTrace.h"

#include <cmath>
#include <limits>

namespace {

constexpr quint8 kRowFlags =
    RowPoint::TimeOk | RowPoint::MilliS | RowPoint::MicroS | RowPoint::Celsius | RowPoint::GapBefore;

// Widens n's extremes to take in numbers from value `lowV`..`highV` and
// temperature `lowT`..`highT`; only a number strictly beyond counts, so the
// first of equal extremes, and a first that is not a number, stay.
void absorb(TraceSummary::Node &n, double lowV, double highV, double lowT, double highT)
{
    if (lowV < n.lowValue)
        n.lowValue = lowV;
    if (highV > n.highValue)
        n.highValue = highV;
    if (lowT < n.lowTemp)
        n.lowTemp = lowT;
    if (highT > n.highTemp)
        n.highTemp = highT;
}

} // namespace

void TraceSummary::refresh(const ChartRowCache &rows, int level, int index)
{
    Node n{};
    n.earliest = std::numeric_limits<qint32>::max();
    n.latest = std::numeric_limits<qint32>::min();
    n.all = kRowFlags | Finite | OwnTemp;
    n.any = 0;
    if (level == 0) {
        // A leaf: its rows one by one, the first of equal extremes kept.
        const int from = first(0, index);
        const int to = qMin(rows.count(), from + rowsPer(0) - 1);
        n.lowValue = n.highValue = rows.held(from).value;
        n.lowTemp = n.highTemp = rows.held(from).temp;
        for (int r = from; r <= to; ++r) {
            const RowPoint &p = rows.held(r);
            quint8 f = p.flags & kRowFlags;
            if (std::isfinite(p.value) && std::isfinite(p.temp))
                f |= Finite;
            if (p.tempCol == tempCol_)
                f |= OwnTemp;
            n.all &= f;
            n.any |= f;
            absorb(n, p.value, p.value, p.temp, p.temp);
            if (p.timeOk()) {
                qint32 unused = 0;
                const qint32 t = qint32(placeRow(p, unused, start_));
                n.earliest = qMin(n.earliest, t);
                n.latest = qMax(n.latest, t);
            }
        }
    } else {
        // Two halves; the right one's extremes only where strictly beyond.
        const auto &below = levels_[std::size_t(level - 1)];
        const Node &a = below[std::size_t(2 * index)];
        n = a;
        if (std::size_t(2 * index + 1) < below.size()) {
            const Node &b = below[std::size_t(2 * index + 1)];
            absorb(n, b.lowValue, b.highValue, b.lowTemp, b.highTemp);
            n.earliest = qMin(n.earliest, b.earliest);
            n.latest = qMax(n.latest, b.latest);
            n.all &= b.all;
            n.any |= b.any;
        }
    }
    levels_[std::size_t(level)][std::size_t(index)] = n;
}

void TraceSummary::rebuild(const ChartRowCache &rows)
{
    levels_.clear();
    const int leaves = (rows.count() + rowsPer(0) - 1) >> kLeafBits;
    levels_.emplace_back().grow(std::size_t(leaves));
    for (int k = 0; k < leaves; ++k)
        refresh(rows, 0, k);
    while (levels_.back().size() > 1) {
        const std::size_t n = (levels_.back().size() + 1) / 2;
        levels_.emplace_back().grow(n);
        for (std::size_t k = 0; k < n; ++k)
            refresh(rows, levels() - 1, int(k));
    }
}

void TraceSummary::update(const ChartRowCache &rows, int row)
{
    if (row < 1 || row > rows.count())
        return;
    // Row 1 sets the origin and the temperature column: when either is new,
    // every node again.
    if (row == 1) {
        const RowPoint &p = rows.held(1);
        const bool placed = p.timeOk();
        const qint32 start = placed ? p.tod : 0;
        if (levels_.empty() || placed != placed_ || start != start_ || p.tempCol != tempCol_) {
            placed_ = placed;
            start_ = start;
            tempCol_ = p.tempCol;
            rebuild(rows);
            return;
        }
    }
    // The row's leaf, then each node above it.
    int index = (row - 1) >> kLeafBits;
    for (int level = 0;; ++level) {
        if (level == levels())
            levels_.emplace_back();
        auto &nodes = levels_[std::size_t(level)];
        nodes.grow(std::size_t(index) + 1);
        refresh(rows, level, index);
        if (nodes.size() == 1)
            break;
        index >>= 1;
    }
}

int TraceSummary::lastTimed(const ChartRowCache &rows, int row) const
{
    row = qMin(row, rows.count());
    if (row < 1)
        return 0;
    // 1. Within the row's own leaf.
    const int leaf = (row - 1) >> kLeafBits;
    for (int r = row; r >= first(0, leaf); --r)
        if (rows.held(r).timeOk())
            return r;
    // 2. The nearest node to the left with a timed row: to the left sibling,
    // else up to the node left of the parent.
    int level = 0, index = leaf - 1;
    while (index >= 0 && !(node(level, index).any & RowPoint::TimeOk)) {
        if (index & 1) {
            --index;
        } else {
            index = index / 2 - 1;
            ++level;
        }
    }
    if (index < 0)
        return 0;
    // 3. Down its right edge to the last timed row.
    for (; level > 0; --level) {
        const int right = 2 * index + 1;
        index = right < nodes(level - 1) && (node(level - 1, right).any & RowPoint::TimeOk) ? right : right - 1;
    }
    for (int r = qMin(rows.count(), first(0, index) + rowsPer(0) - 1); r >= first(0, index); --r)
        if (rows.held(r).timeOk())
            return r;
    return 0;
}

std::size_t TraceSummary::memoryBytes() const
{
    std::size_t n = 0;
    for (const Level &level : levels_)
        n += level.memoryBytes();
    return n + sizeof(*this);
}
