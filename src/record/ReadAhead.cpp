#include "record/ReadAhead.h"

#include "record/RowCells.h"
#include "record/SqliteDb.h"

#include <QFile>

#include <sqlite3.h>

ReadAhead::ReadAhead(const QString &file, What what, qint64 id, qint64 fromSeq, qint64 skip)
{
    thread_ = std::thread(&ReadAhead::run, this, file, what, id, fromSeq, skip);
}

ReadAhead::~ReadAhead()
{
    {
        const std::lock_guard lock(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

const ReadAhead::Item *ReadAhead::next()
{
    if (current_ && index_ < current_->items.size())
        return &current_->items[index_++];
    std::unique_lock lock(mutex_);
    if (current_)
        spare_.push_back(std::move(current_));
    changed_.notify_all();
    changed_.wait(lock, [this] { return !ready_.empty() || done_; });
    if (ready_.empty())
        return nullptr;
    current_ = std::move(ready_.front());
    ready_.pop_front();
    changed_.notify_all();
    index_ = 1;
    return &current_->items[0];
}

bool ReadAhead::failed() const
{
    const std::lock_guard lock(mutex_);
    return failed_;
}

QString ReadAhead::error() const
{
    const std::lock_guard lock(mutex_);
    return error_;
}

void ReadAhead::run(QString file, What what, qint64 id, qint64 fromSeq, qint64 skip)
{
    sqlite3 *db = nullptr;
    sqlite3_stmt *s = nullptr;
    bool good = sqlite3_open_v2(SqliteDb::readOnlyUri(file).constData(), &db,
                                SQLITE_OPEN_READONLY | SQLITE_OPEN_URI | SQLITE_OPEN_NOMUTEX, nullptr) == SQLITE_OK;
    if (good) {
        sqlite3_busy_timeout(db, 1000);
        const char *sql = what == What::Entries
                              ? "SELECT seq, kind, body, hash FROM entry WHERE recording = ? AND seq >= ? "
                                "ORDER BY seq LIMIT -1 OFFSET ?"
                              : "SELECT seq, body FROM entry WHERE recording = ? AND kind = 'row' AND seq >= ? "
                                "ORDER BY seq LIMIT -1 OFFSET ?";
        good = sqlite3_prepare_v2(db, sql, -1, &s, nullptr) == SQLITE_OK;
    }
    if (good) {
        sqlite3_bind_int64(s, 1, id);
        sqlite3_bind_int64(s, 2, fromSeq);
        sqlite3_bind_int64(s, 3, skip);
    }
    auto column = [&s](int col) {
        const auto *p = static_cast<const char *>(sqlite3_column_blob(s, col));
        return p ? std::string_view(p, std::size_t(sqlite3_column_bytes(s, col))) : std::string_view();
    };
    rowcells::Cells cells;
    std::string scratch;
    QString why;        // taken here: sqlite3_errmsg belongs to this thread's connection
    bool gave = false;
    bool more = good;
    while (more) {
        std::unique_ptr<Batch> batch;
        {
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [this] { return stop_ || ready_.size() < kBatchesAhead; });
            if (stop_)
                break;
            if (!spare_.empty()) {
                batch = std::move(spare_.front());
                spare_.pop_front();
            }
        }
        if (!batch)
            batch = std::make_unique<Batch>();
        batch->bytes.clear();
        batch->items.clear();
        auto put = [&batch](std::string_view text) {
            const Span span{std::uint32_t(batch->bytes.size()), std::uint32_t(text.size())};
            batch->bytes.append(text);
            return span;
        };
        while (batch->items.size() < kBatchItems) {
            const int rc = sqlite3_step(s);
            if (rc != SQLITE_ROW) {
                more = false;
                good = rc == SQLITE_DONE;
                if (!good && (gave || !batch->items.empty()))
                    why = QString::fromUtf8(sqlite3_errmsg(db));
                break;
            }
            Item item;
            item.seq = sqlite3_column_int64(s, 0);
            if (what == What::Entries) {
                item.kind = put(column(1));
                item.body = put(column(2));
                item.hash = put(column(3));
            } else if ((item.scanned = rowcells::scan(column(1), cells, scratch))) {
                for (std::size_t c = 0; c < cells.size(); ++c)
                    item.cells[c] = put(cells[c]);
            } else {
                item.body = put(column(1));
            }
            batch->items.push_back(item);
        }
        const std::lock_guard lock(mutex_);
        if (!batch->items.empty()) {
            gave = true;
            ready_.push_back(std::move(batch));
        }
        changed_.notify_all();
    }
    sqlite3_finalize(s);
    sqlite3_close_v2(db);
    {
        const std::lock_guard lock(mutex_);
        done_ = true;
        failed_ = !good;
        error_ = why;
    }
    changed_.notify_all();
}
