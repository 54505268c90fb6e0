#include "report/StatsAlongside.h"

StatsAlongside::StatsAlongside(const ExportSource::Row &header) : builder_(header)
{
    filling_.reserve(kBatchRows);
    thread_ = std::thread(&StatsAlongside::run, this);
}

StatsAlongside::~StatsAlongside()
{
    hand(true);
    thread_.join();
}

void StatsAlongside::add(const ExportSource::Row &row)
{
    filling_.push_back(row);
    if (filling_.size() == kBatchRows)
        hand(false);
}

void StatsAlongside::hand(bool last)
{
    std::unique_lock lock(mutex_);
    if (finished_)
        return;
    // A few batches wait at most: memory stays small whoever is faster.
    changed_.wait(lock, [this] { return waiting_.size() < kBatchesWaiting; });
    if (!filling_.empty())
        waiting_.push_back(std::exchange(filling_, {}));
    filling_.reserve(kBatchRows);
    finished_ = last;
    changed_.notify_all();
}

QList<ColumnStats> StatsAlongside::result()
{
    hand(true);
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return result_.has_value(); });
    return *result_;
}

void StatsAlongside::run()
{
    for (;;) {
        Batch batch;
        {
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [this] { return !waiting_.empty() || finished_; });
            if (waiting_.empty())
                break;
            batch = std::move(waiting_.front());
            waiting_.pop_front();
            changed_.notify_all();
        }
        for (const ExportSource::Row &row : batch)
            builder_.add(row);
    }
    QList<ColumnStats> stats = builder_.result();
    const std::lock_guard lock(mutex_);
    result_ = std::move(stats);
    changed_.notify_all();
}
