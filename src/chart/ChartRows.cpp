#include "chart/ChartRows.h"

#include "chart/TimeText.h"
#include "table/FlexGrid.h"
#include "text/LeadingNumber.h"

#include <algorithm>

namespace {

constexpr int kTimeCol = 2;
constexpr int kValueCol = 3;
// Enough days for any log, and small enough that a time moved past them
// still fits the 32-bit seconds the chart computes with.
constexpr int kMaxExtraDays = 24000;

} // namespace

RowPoint ChartRowCache::parse(int row, int tempCol) const
{
    RowPoint p;
    p.tempCol = qint8(tempCol);
    if (!grid_ || row < 1 || row >= grid_->Rows())
        return p;
    if (const auto t = parseTimeText(grid_->TextMatrix(row, kTimeCol))) {
        p.tod = *t;
        p.flags |= RowPoint::TimeOk;
    }
    const QString value = grid_->TextMatrix(row, kValueCol);
    p.value = Val(value);
    if (value.contains(QLatin1String("mS")))
        p.flags |= RowPoint::MilliS;
    else if (value.contains(QLatin1String("uS")))
        p.flags |= RowPoint::MicroS;
    const QString temp = grid_->TextMatrix(row, tempCol);
    p.temp = Val(temp);
    if (temp.contains(QStringLiteral("°C")))
        p.flags |= RowPoint::Celsius;
    return p;
}

// The meter's clock gives the time of day only. The chart's own rule moves
// a time that is earlier than row 1's past midnight by one day, which holds
// a log for its first 24 hours; after that each day would be drawn over the
// one before. So a row that follows the previous one within the hour across
// the end of that 24-hour window (the previous row in its last hour, this
// one in its first) has begun one more day, but only when the previous row
// had itself followed its own predecessor within the hour: one stray time
// (a garbled frame whose fields read 0) lands "just before row 1" without
// the log having run on to it. A log that stays within a day, or jumps
// about in time, never meets that test and is drawn by the rule alone.
quint16 ChartRowCache::extraDaysFor(int row, const RowPoint &p) const
{
    if (row < 2)
        return 0;
    const RowPoint &prev = entry(row - 1);
    const RowPoint &first = entry(1);
    if (!p.timeOk() || !prev.timeOk() || !first.timeOk())
        return prev.extraDays;
    const qint64 s = first.tod;
    auto window = [s](qint64 t) { return t < s ? t + chartmap::kDay : t; };
    const qint64 wp = window(prev.tod);
    const qint64 wc = window(p.tod);
    const qint64 gap = wc + chartmap::kDay - wp;
    auto withinHour = [](qint64 d) { return d >= 0 && d <= 3600; };
    // 1. This row crosses the end of the window, an hour or less after the previous one.
    const bool crosses = wp >= s + chartmap::kDay - 3600 && wc < s + 3600 && withinHour(gap);
    // 2. The previous row got there continuously.
    const RowPoint *before = row >= 3 ? &entry(row - 2) : nullptr;
    const bool ranOn = before && before->timeOk() && withinHour(wp - window(before->tod));
    const bool newDay = crosses && ranOn;
    return quint16(qMin(int(prev.extraDays) + (newDay ? 1 : 0), kMaxExtraDays));
}

void ChartRowCache::capture(int row, int tempCol)
{
    if (row < 1)
        return;
    for (int r = qMin(row, count_ + 1); r <= row; ++r) {
        const int i = r - 1;
        if (std::size_t(i >> kChunkBits) >= chunks_.size())
            chunks_.push_back(std::make_unique<RowPoint[]>(kChunk));
        RowPoint p = parse(r, tempCol);
        p.extraDays = extraDaysFor(r, p);
        if (std::binary_search(gaps_.begin(), gaps_.end(), r))
            p.flags |= RowPoint::GapBefore;
        entry(r) = p;
        count_ = qMax(count_, r);
        summary_.update(*this, r);
    }
}

RowPoint ChartRowCache::point(int row, int tempCol) const
{
    if (row < 1 || row > count_)
        return parse(row, tempCol);
    const RowPoint &held = entry(row);
    if (held.tempCol == tempCol || !grid_)
        return held;
    RowPoint p = parse(row, tempCol);
    p.extraDays = held.extraDays;
    p.flags |= held.flags & RowPoint::GapBefore;
    return p;
}

void ChartRowCache::markGap(int row)
{
    if (row < 2)
        return;
    const auto at = std::lower_bound(gaps_.begin(), gaps_.end(), row);
    if (at != gaps_.end() && *at == row)
        return;
    gaps_.insert(at, row);
    if (row <= count_) {
        entry(row).flags |= RowPoint::GapBefore;
        summary_.update(*this, row);
    }
}

std::size_t ChartRowCache::memoryBytes() const
{
    return chunks_.size() * kChunk * sizeof(RowPoint) + chunks_.capacity() * sizeof(chunks_[0])
        + gaps_.capacity() * sizeof(int) + summary_.memoryBytes();
}
