#include "chart/TraceDecimator.h"

#include <cmath>

namespace {

// A polyline is handed out in pieces of about this many points, so that
// nothing grows with the log even when the trace runs back and forth.
constexpr std::size_t kPiece = 4096;

bool finite(double x, double y) { return std::isfinite(x) && std::isfinite(y); }

} // namespace

void TraceDecimator::segment(double x1, double y1, double x2, double y2)
{
    if (!finite(x1, y1) || !finite(x2, y2)) {
        flush();
        return;
    }
    // A segment that does not start where the last one ended starts a new line.
    if (!haveLast_ || last_.x != x1 || last_.y != y1) {
        flush();
        point({x1, y1});
    }
    point({x2, y2});
}

void TraceDecimator::point(const Point &p)
{
    const double col = std::floor(p.x * k_);
    if (inColumn_ && col == column_.col) {
        Column &c = column_;
        ++c.count;
        if (p.y < c.low.y) { c.low = p; c.lowAt = c.count; }
        if (p.y > c.high.y) { c.high = p; c.highAt = c.count; }
        c.last = p;
    } else {
        closeColumn();
        column_ = {col, p, p, p, p, 0, 0, 0};
        inColumn_ = true;
    }
    last_ = p;
    haveLast_ = true;
}

void TraceDecimator::piece(const Piece &p)
{
    const double col = std::floor(p.first.x * k_);
    if (inColumn_ && col == column_.col) {
        // Strictly lower or higher than what the column has: an equal point
        // later in the column does not replace the first one.
        Column &c = column_;
        const int base = c.count + 1;
        if (p.low.y < c.low.y) { c.low = p.low; c.lowAt = base + p.lowAt; }
        if (p.high.y > c.high.y) { c.high = p.high; c.highAt = base + p.highAt; }
        c.count += p.count;
        c.last = p.last;
    } else {
        closeColumn();
        column_ = {col, p.first, p.low, p.high, p.last, p.lowAt, p.highAt, p.count - 1};
        inColumn_ = true;
    }
    last_ = p.last;
    haveLast_ = true;
}

void TraceDecimator::closeColumn()
{
    if (!inColumn_)
        return;
    const Column &c = column_;
    line_.push_back(c.first);
    // The extremes in the order they were drawn, each once.
    const Point *mid[2] = {&c.low, &c.high};
    if (c.highAt < c.lowAt)
        std::swap(mid[0], mid[1]);
    int at[2] = {std::min(c.lowAt, c.highAt), std::max(c.lowAt, c.highAt)};
    for (int i = 0; i < 2; ++i)
        if (at[i] != 0 && at[i] != c.count && (i == 0 || at[1] != at[0]))
            line_.push_back(*mid[i]);
    if (c.count > 0)
        line_.push_back(c.last);
    inColumn_ = false;
    if (line_.size() >= kPiece) {
        // Hand out this piece; the next one starts where it ended.
        const Point end = line_.back();
        sink_(line_);
        line_.assign(1, end);
    }
}

void TraceDecimator::flush()
{
    closeColumn();
    if (line_.size() >= 2)
        sink_(line_);
    line_.clear();
    haveLast_ = false;
}

void TraceDecimator::finish()
{
    flush();
}
