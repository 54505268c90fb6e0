#include "chart/ChartPicture.h"

#include <algorithm>

void ChartPicture::Cls()
{
    runs_.clear();
    runs_.shrink_to_fit();
    texts.clear();
    prints_ = 0;
    recentPrints_.clear();
    segments_ = 0;
    ++clears_;
    CurrentX = CurrentY = 0;
}

void ChartPicture::Print(const QString &text)
{
    const Text t{CurrentX, CurrentY, FontSize, ForeColor, text};
    auto at = std::find(texts.begin(), texts.end(), t);
    if (at == texts.end())
        at = texts.insert(texts.end(), t);
    ++prints_;
    recentPrints_.push_back(std::size_t(at - texts.begin()));
    if (recentPrints_.size() > kRecentPrints)
        recentPrints_.pop_front();
}

std::vector<const ChartPicture::Text *> ChartPicture::printedSince(quint64 ordinal) const
{
    std::vector<const Text *> out;
    const quint64 oldest = prints_ - recentPrints_.size();
    for (quint64 i = qMax(ordinal, oldest); i < prints_; ++i)
        out.push_back(&texts[recentPrints_[std::size_t(i - oldest)]]);
    return out;
}

void ChartPicture::addStep(const std::shared_ptr<const ChartRowCache> &rows, const TraceParams &tp, int g,
                           qint32 timeIn, const StepResult &step)
{
    // A step continues the last run when it is the next row drawn the same
    // way from where that run left the parser; otherwise it starts a run.
    if (!runs_.empty()) {
        Run &last = runs_.back();
        if (last.kind == RunKind::Step && last.last == g - 1 && last.params == tp && last.rows == rows
            && last.start == step.start && last.timeOut == timeIn && rows->point(1, tp.tempCol).timeOk()) {
            last.last = g;
            last.timeOut = step.timeSeconds;
            ++segments_;
            return;
        }
    }
    runs_.push_back({RunKind::Step, g, g, segments_, step.start, timeIn, step.timeSeconds, tp, rows});
    ++segments_;
}

qint32 ChartPicture::addRedraw(const std::shared_ptr<const ChartRowCache> &rows, const TraceParams &tp,
                               qint32 start, int first, int last, qint32 timeIn)
{
    const qint32 timeOut = redrawTimeOut(*rows, tp, start, first, last, timeIn);
    if (first <= last) {
        runs_.push_back({RunKind::Redraw, first, last, segments_, start, timeIn, timeOut, tp, rows});
        segments_ += last - first + 1;
    }
    return timeOut;
}

void ChartPicture::forEachSegment(const Run &run, qint64 from, const std::function<void(const SegmentPair &)> &pair)
{
    const int firstRow = run.first + int(qMax<qint64>(0, from - run.firstIndex));
    if (run.kind == RunKind::Redraw) {
        // A redraw chains the parser through every row, so it is computed
        // from its start and reported from `from` on.
        qint64 index = run.firstIndex;
        redrawSegments(*run.rows, run.params, run.start, run.first, run.last, run.timeIn,
                       [&](const SegmentPair &p) {
                           if (index++ >= from)
                               pair(p);
                       });
        return;
    }
    // Live steps of one run each start from row 1's time, so any of them
    // can be computed on its own (runs are cut where that is not so).
    qint32 t = run.timeIn;
    for (int g = firstRow; g <= run.last; ++g) {
        const StepResult s = stepSegment(*run.rows, run.params, g, t);
        pair(s.pair);
        t = s.timeSeconds;
    }
}

void ChartPicture::forEachSegment(qint64 from, const std::function<void(const SegmentPair &)> &pair) const
{
    // The first run that holds ordinal `from`.
    auto it = std::upper_bound(runs_.begin(), runs_.end(), from,
                               [](qint64 v, const Run &r) { return v < r.firstIndex; });
    if (it != runs_.begin())
        --it;
    for (; it != runs_.end(); ++it) {
        const qint64 end = it->firstIndex + (it->last - it->first + 1);
        if (end <= from)
            continue;
        forEachSegment(*it, from, pair);
    }
}
