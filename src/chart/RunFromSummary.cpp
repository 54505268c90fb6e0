#include "chart/RunFromSummary.h"

#include "chart/TraceDecimator.h"

#include <bit>
#include <cmath>

namespace {

using Node = TraceSummary::Node;

// A run this short costs less row by row than the setting up.
constexpr int kShortRun = 64;

// A row's point on both traces.
struct Pt
{
    double x;
    double y[2];   // value, temperature
};

// The lowest or highest point of the piece so far, on one trace: a row, or
// a node whose first row at that height is looked up when the piece is
// handed over (only the column's winner is ever looked up).
struct Extreme
{
    double y;
    int level;   // < 0: `index` is the row
    int index;
};

class RunWalk
{
public:
    RunWalk(const ChartPicture::Run &run, TraceDecimator &value, TraceDecimator &temp)
        : run_(run), rows_(*run.rows), sum_(rows_.summary()), tp_(run.params), dec_{&value, &temp},
          k_(value.columnsPerUnit())
    {
    }

    bool applies() const
    {
        return sum_.placed() && run_.start == sum_.start() && tp_.tempCol == sum_.tempCol() && run_.first >= 2
            && run_.last <= rows_.count() && run_.last - run_.first >= kShortRun;
    }

    void walk()
    {
        int g = run_.first;
        while (g <= run_.last) {
            if (!chained_) {
                exact(g++);
                continue;
            }
            // Rows chained to the last point: whole nodes where they lie in
            // its column, else one row at a time, until a row that must be
            // drawn as its segment.
            ceiling_ = sum_.levels() - 1;
            while (g <= run_.last) {
                if (((g - 1) & (TraceSummary::rowsPer(0) - 1)) == 0 && node(g))
                    continue;
                Pt p;
                if (!point(g, p))
                    break;
                const double c = column(p.x);
                if (c != col_) {
                    flush();
                    col_ = c;
                    ceiling_ = sum_.levels() - 1;
                }
                addRow(g++, p);
            }
            chained_ = false;
        }
        flush();
    }

private:
    RowPoint row(int r) const { return rows_.point(r, tp_.tempCol); }
    double y(int trace, const RowPoint &p) const
    {
        return trace == 0 ? chartmap::valueY(tp_.valueMap, tp_.valueScale, p.value, p.unit())
                          : chartmap::tempY(tp_.tempMap, tp_.tempScale, p.temp, p.celsius());
    }
    double x(qint64 t) const { return chartmap::timeX(t, run_.start, tp_.timeBase); }
    double column(double px) const { return std::floor(px * k_); }

    // The point of a row with a readable time and finite heights: where
    // every segment to or from it has that end. A row after a hole in the
    // log is drawn as its own (broken) segment.
    bool point(int r, Pt &p) const
    {
        const RowPoint rp = row(r);
        if (!rp.timeOk() || rp.gapBefore())
            return false;
        qint32 unused = 0;
        p.x = x(placeRow(rp, unused, run_.start));
        p.y[0] = y(0, rp);
        p.y[1] = y(1, rp);
        return std::isfinite(p.y[0]) && std::isfinite(p.y[1]);
    }

    // A node's lowest and highest heights on a trace: with one unit across
    // its rows (its `all` flags are each row's) a height follows the number
    // one way, so they are those of its lowest and highest number (which
    // way round depends on the scale).
    void heights(const Node &n, int trace, double &low, double &high) const
    {
        RowPoint p;
        p.flags = n.all;
        double a, b;
        if (trace == 0) {
            p.value = n.lowValue;
            a = y(0, p);
            p.value = n.highValue;
            b = y(0, p);
        } else {
            p.temp = n.lowTemp;
            a = y(1, p);
            p.temp = n.highTemp;
            b = y(1, p);
        }
        low = b < a ? b : a;
        high = b > a ? b : a;
    }

    // Segment g as the run draws it, handed over as a segment.
    void exact(int g)
    {
        flush();
        SegmentPair s{};
        if (run_.kind == ChartPicture::RunKind::Step)
            s = stepSegment(rows_, tp_, g, state_).pair;
        else
            state_ = redrawSegments(rows_, tp_, run_.start, g, g, state_, [&s](const SegmentPair &p) { s = p; });
        dec_[0]->segment(s.x1, s.valueY1, s.x2, s.valueY2);
        dec_[1]->segment(s.x1, s.tempY1, s.x2, s.tempY2);
        // The next row can go on from here when both lines went on to a
        // point that is row g's own.
        Pt p;
        chained_ = std::isfinite(s.x1) && std::isfinite(s.valueY1) && std::isfinite(s.tempY1) && point(g, p)
            && p.x == s.x2 && p.y[0] == s.valueY2 && p.y[1] == s.tempY2;
        col_ = column(s.x2);
    }

    // The largest node from row g on that lies in the current column and
    // before the run's end, added to the piece. Within one column, a node
    // level that failed at one row fails at every later one (the row that
    // made it fail ends the column's rows first), so each column tries
    // each level about once.
    bool node(int &g)
    {
        const int at = g - 1;
        int level = at == 0 ? ceiling_ : qMin(ceiling_, std::countr_zero(unsigned(at)) - TraceSummary::kLeafBits);
        for (; level >= 0; --level) {
            const int index = at >> (level + TraceSummary::kLeafBits);
            const int end = g + TraceSummary::rowsPer(level) - 1;
            if (index < sum_.nodes(level) && end <= run_.last) {
                const Node &n = sum_.node(level, index);
                double low[2], high[2];
                if (usable(n, low, high)) {
                    addNode(level, index, g, end, low, high);
                    g = end + 1;
                    return true;
                }
            }
            ceiling_ = level - 1;
        }
        return false;
    }

    bool usable(const Node &n, double low[2], double high[2]) const
    {
        constexpr quint8 need = quint8(RowPoint::TimeOk) | TraceSummary::Finite | TraceSummary::OwnTemp;
        if ((n.all & need) != need || (n.any & RowPoint::GapBefore))
            return false;
        // One unit across the rows (the conductivity unit matters only to
        // the conductivity mapping).
        const quint8 mixed = n.all ^ n.any;
        if (mixed & RowPoint::Celsius)
            return false;
        if (tp_.valueMap == chartmap::ValueMap::Cond && (mixed & (RowPoint::MilliS | RowPoint::MicroS)))
            return false;
        if (column(x(n.earliest)) != col_ || column(x(n.latest)) != col_)
            return false;
        for (int t = 0; t < 2; ++t) {
            heights(n, t, low[t], high[t]);
            if (!std::isfinite(low[t]) || !std::isfinite(high[t]))
                return false;
        }
        return true;
    }

    // The piece's first and last points are looked up when it is handed
    // over: a node's rows are not read while it is only passed through.
    void addRow(int r, const Pt &p)
    {
        if (empty()) {
            u_ = r;
            for (int t = 0; t < 2; ++t)
                low_[t] = high_[t] = {p.y[t], -1, r};
        }
        for (int t = 0; t < 2; ++t) {
            if (p.y[t] < low_[t].y)
                low_[t] = {p.y[t], -1, r};
            if (p.y[t] > high_[t].y)
                high_[t] = {p.y[t], -1, r};
        }
        v_ = r;
    }

    void addNode(int level, int index, int from, int to, const double low[2], const double high[2])
    {
        if (empty()) {
            u_ = from;
            for (int t = 0; t < 2; ++t) {
                low_[t] = {low[t], level, index};
                high_[t] = {high[t], level, index};
            }
        }
        for (int t = 0; t < 2; ++t) {
            if (low[t] < low_[t].y)
                low_[t] = {low[t], level, index};
            if (high[t] > high_[t].y)
                high_[t] = {high[t], level, index};
        }
        v_ = to;
    }

    // The first row of an extreme at its height: down the node, to the
    // left half whenever it reaches that height (else the right half
    // does), then along the leaf's rows. A node in a run is whole, so both
    // its halves are there.
    int firstAt(const Extreme &e, int trace, bool lowest) const
    {
        if (e.level < 0)
            return e.index;
        int index = e.index;
        for (int level = e.level; level > 0; --level) {
            const int left = 2 * index;
            double low, high;
            heights(sum_.node(level - 1, left), trace, low, high);
            index = (lowest ? low : high) == e.y ? left : left + 1;
        }
        int r = TraceSummary::first(0, index);
        const int last = r + TraceSummary::rowsPer(0) - 1;
        while (r < last && y(trace, row(r)) != e.y)
            ++r;
        return r;
    }

    bool empty() const { return v_ < u_; }

    void flush()
    {
        if (empty())
            return;
        Pt first{}, last{};
        point(u_, first);
        point(v_, last);
        for (int t = 0; t < 2; ++t) {
            const int lowRow = firstAt(low_[t], t, true);
            const int highRow = firstAt(high_[t], t, false);
            Pt low{}, high{};
            point(lowRow, low);
            point(highRow, high);
            dec_[t]->piece({{first.x, first.y[t]}, {low.x, low.y[t]}, {high.x, high.y[t]}, {last.x, last.y[t]},
                            lowRow - u_, highRow - u_, v_ - u_ + 1});
        }
        v_ = u_ - 1;
    }

    const ChartPicture::Run &run_;
    const ChartRowCache &rows_;
    const TraceSummary &sum_;
    const TraceParams &tp_;
    TraceDecimator *dec_[2];
    const double k_;

    qint32 state_ = run_.timeIn;   // the parser's result, for a redraw's rows
    bool chained_ = false;
    double col_ = 0;               // the column of the last point handed over or added
    int ceiling_ = 0;              // the highest node level still worth trying in this column

    // The piece: rows u_..v_, chained, all in column col_.
    int u_ = 1, v_ = 0;
    Extreme low_[2]{}, high_[2]{};
};

} // namespace

bool feedRunFromSummary(const ChartPicture::Run &run, TraceDecimator &value, TraceDecimator &temp)
{
    RunWalk walk(run, value, temp);
    if (!walk.applies())
        return false;
    walk.walk();
    return true;
}
