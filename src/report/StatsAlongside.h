#pragma once
#include "report/ColumnStats.h"

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

// The report's statistics gathered on a thread of their own from rows that
// another walk reads anyway (the replay that draws the chart), so that the
// two run side by side instead of reading the recording twice in a row. The
// rows are handed over in small batches (the texts are shared, not copied),
// and the thread takes them in the order given, as columnStats() would.
class StatsAlongside
{
public:
    explicit StatsAlongside(const ExportSource::Row &header);
    ~StatsAlongside();
    StatsAlongside(const StatsAlongside &) = delete;
    StatsAlongside &operator=(const StatsAlongside &) = delete;

    void add(const ExportSource::Row &row);
    // Every row added: the statistics, once the thread has taken them all.
    QList<ColumnStats> result();

private:
    using Batch = std::vector<ExportSource::Row>;
    static constexpr std::size_t kBatchRows = 512;
    static constexpr std::size_t kBatchesWaiting = 8;

    void hand(bool last);
    void run();

    ColumnStatsBuilder builder_;
    Batch filling_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Batch> waiting_;
    bool finished_ = false;
    std::optional<QList<ColumnStats>> result_;
    std::thread thread_;
};
