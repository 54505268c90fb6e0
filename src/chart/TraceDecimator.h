#pragma once
#include <functional>
#include <vector>

// Turns a long chain of segments into polylines that look the same at a
// given resolution: all the points that fall into one column (of
// `columnsPerUnit` columns per chart unit) become the column's first,
// lowest, highest and last point, in the order they were drawn. A million
// rows across a 700-pixel chart become a few thousand points.
class TraceDecimator
{
public:
    struct Point { double x, y; };
    using Sink = std::function<void(const std::vector<Point> &)>;

    TraceDecimator(double columnsPerUnit, Sink sink) : k_(columnsPerUnit), sink_(std::move(sink)) {}
    ~TraceDecimator() { finish(); }

    void segment(double x1, double y1, double x2, double y2);

    // `count` points that go on from the last one handed in, as segments
    // would, all in the column of `first`: their first lowest and first
    // highest at `lowAt` and `highAt` (0 is `first`), and the last one. The
    // same as handing in each point.
    struct Piece { Point first, low, high, last; int lowAt, highAt, count; };
    void piece(const Piece &p);
    double columnsPerUnit() const { return k_; }
    // Hands out what is still pending.
    void finish();

private:
    struct Column { double col; Point first, low, high, last; int lowAt, highAt, count; };

    void point(const Point &p);
    void closeColumn();
    void flush();

    double k_;
    Sink sink_;
    std::vector<Point> line_;
    Column column_{};
    bool inColumn_ = false;
    bool haveLast_ = false;
    Point last_{};
};
