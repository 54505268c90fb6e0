#pragma once
#include <QString>

#include <array>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <limits>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

// A recording's entries read ahead, in batches, on a thread of its own over
// a read-only connection of its own, while the caller works on the entries
// before: reading from SQLite and the work on what was read (hashing,
// writing a file, filling the table) then run on two cores side by side.
// At most a few batches wait, so memory stays small however long the
// recording is; a reader that stops early just lets the object go.
class ReadAhead
{
public:
    enum class What
    {
        Entries,    // every entry: seq, kind, body and hash
        RowCells,   // the rows only: seq and the cells (the body where the quick reader left it)
    };
    struct Span
    {
        std::uint32_t at = 0, size = 0;
    };
    struct Item
    {
        qint64 seq = 0;
        Span kind, body, hash;
        bool scanned = false;   // RowCells: `cells` hold the cells, else `body` the body
        std::array<Span, 8> cells;
    };

    // The entries of recording `id` (its rows, for RowCells) in seq order
    // from `fromSeq` on, the first `skip` of them passed over.
    ReadAhead(const QString &file, What what, qint64 id, qint64 fromSeq = std::numeric_limits<qint64>::min(),
              qint64 skip = 0);
    ~ReadAhead();
    ReadAhead(const ReadAhead &) = delete;
    ReadAhead &operator=(const ReadAhead &) = delete;

    // The next entry, null after the last one or on failure; its texts
    // hold until the next call.
    const Item *next();
    std::string_view text(const Span &s) const { return {current_->bytes.data() + s.at, s.size}; }
    // The connection would not open, or a step failed: nothing after the
    // entries given came, and the caller reads on by itself.
    bool failed() const;
    // SQLite's words for a step that failed after entries were given (the
    // store is damaged there: the caller reports it with its place); empty
    // where nothing came at all, and the caller's own connection reads.
    QString error() const;

private:
    struct Batch
    {
        std::string bytes;
        std::vector<Item> items;
    };
    static constexpr std::size_t kBatchItems = 1024;
    static constexpr std::size_t kBatchesAhead = 3;

    void run(QString file, What what, qint64 id, qint64 fromSeq, qint64 skip);

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::unique_ptr<Batch>> ready_, spare_;
    bool done_ = false, failed_ = false, stop_ = false;
    QString error_;
    std::unique_ptr<Batch> current_;
    std::size_t index_ = 0;
    std::thread thread_;
};
