#pragma once
#include "chart/ChartTrace.h"

#include <QString>
#include <QtGlobal>

#include <deque>
#include <functional>
#include <memory>
#include <vector>

// What has been drawn into the chart picture (Picture4), in chart units
// (twips from the top-left corner, y downward): the two traces and printed
// texts. Cls() erases them; the decorations (ChartDecorations.h) are separate
// controls and are not touched by it.
//
// The traces are kept as runs, not lines: a run is a range of consecutive
// rows drawn with one set of scales, and its segments are computed again
// from the chart's row cache whenever they are wanted. A redraw of a million
// rows is one run of a hundred bytes.
class ChartPicture
{
public:
    struct Text
    {
        double x, y;
        double points;
        quint32 rgb;
        QString text;
        bool operator==(const Text &) const = default;
    };

    enum class RunKind : quint8 {
        Step,     // live steps, one segment per reading
        Redraw,   // a whole-log redraw
    };
    struct Run
    {
        RunKind kind;
        int first, last;          // rows whose segment from the row before is drawn
        qint64 firstIndex;        // ordinal of its first segment since the last clear
        qint32 start;             // the origin
        qint32 timeIn, timeOut;   // the parser's result before and after
        TraceParams params;
        std::shared_ptr<const ChartRowCache> rows;
    };

    // Ordinals for telling what happened since an earlier moment.
    struct Mark { quint64 clears = 0; qint64 segments = 0; quint64 prints = 0; };

    std::vector<Text> texts;
    double FontSize = 8;
    quint32 ForeColor = 0x000000;   // 0xRRGGBB
    double CurrentX = 0;
    double CurrentY = 0;
    bool AutoRedraw = false;        // keep the drawing across repaints (it always is kept)

    void Cls();
    // A text already printed in the same place, size and colour since the
    // last Cls is not kept twice: it would show nothing new, and a meter
    // repeating its end frame (or a line full of them) would otherwise grow
    // the picture with every frame. It still counts as printed again.
    void Print(const QString &text);
    // The texts printed since print `ordinal` of mark() (0: since the last
    // clear), in order, each time it was printed; the last few dozen prints
    // are remembered, far more than one event makes.
    std::vector<const Text *> printedSince(quint64 ordinal) const;

    // A live step for row g drawn with `step` (from stepSegment, which ran
    // with the parser's result `timeIn`).
    void addStep(const std::shared_ptr<const ChartRowCache> &rows, const TraceParams &tp, int g, qint32 timeIn,
                 const StepResult &step);
    // A redraw of rows first..last from origin `start`; returns the parser's
    // result after it.
    qint32 addRedraw(const std::shared_ptr<const ChartRowCache> &rows, const TraceParams &tp, qint32 start,
                     int first, int last, qint32 timeIn);

    const std::vector<Run> &runs() const { return runs_; }
    qint64 segmentCount() const { return segments_; }
    Mark mark() const { return {clears_, segments_, prints_}; }
    quint64 clearCount() const { return clears_; }

    // Every segment pair drawn since the last clear, from ordinal `from` on,
    // in drawing order.
    void forEachSegment(qint64 from, const std::function<void(const SegmentPair &)> &pair) const;
    // The same, one run at a time (painters decimate per run).
    static void forEachSegment(const Run &run, qint64 from, const std::function<void(const SegmentPair &)> &pair);

    std::size_t memoryBytes() const { return runs_.capacity() * sizeof(Run); }

private:
    std::vector<Run> runs_;
    static constexpr std::size_t kRecentPrints = 64;
    quint64 prints_ = 0;                      // prints since the last clear
    std::deque<std::size_t> recentPrints_;    // which text each of the last prints was
    qint64 segments_ = 0;
    quint64 clears_ = 0;
};
