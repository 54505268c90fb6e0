#pragma once
#include <QString>

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// The cell texts of the data rows, kept compactly: the log may run for a
// year at one row a second (31.5 million rows), so rows are kept in blocks
// of 1024, each row its eight texts packed as UTF-8 with a one-byte length.
// A block the writer has moved past is compressed (zstd, the texts column by
// column, where a log's rows repeat each other most): some 5 to 10 bytes a
// row. Reads of a compressed block unpack it into a small cache, so a view
// or an export reading rows in order unpacks each block once.
//
// Rows are written one cell at a time and usually one row at a time. The row
// being written lives unpacked in a small "open row" and is packed once, when
// another row is written or the store is cleared; reads see it either way.
class RowStore
{
public:
    static constexpr int kColumns = 8;
    static constexpr int kBlockBits = 10;
    static constexpr int kBlockRows = 1 << kBlockBits;
    struct Span { std::uint32_t start, length; };   // a cell in a block's bytes

    RowStore();
    ~RowStore();
    RowStore(const RowStore &) = delete;
    RowStore &operator=(const RowStore &) = delete;

    int rows() const { return rows_; }
    void setRows(int n);                       // grows or shrinks; new rows are empty

    QString cell(int row, int col) const;
    // A whole row into `cells`, reusing their buffers: an export reading
    // millions of rows then allocates nothing a row.
    void readRow(int row, std::array<QString, kColumns> &cells) const;
    // The same as the UTF-8 it is kept as; the views hold until the store
    // is next read or written.
    void readRowUtf8(int row, std::array<std::string_view, kColumns> &cells) const;
    void setCell(int row, int col, const QString &text);
    void clear();                              // every cell empty; row count kept
    // The blocks wholly before `row` are let go: their cells read empty.
    void forgetBefore(int row);

    // Bytes held: blocks packed and compressed, the caches and the open row.
    std::size_t memoryBytes() const;

private:
    // A block being written: each row's cells packed one after the other
    // in `bytes` (a row written again is appended anew), row r at
    // rows[r] (length 0: an empty row).
    struct Open
    {
        std::string bytes;
        std::array<Span, kBlockRows> rows{};
        std::string_view row(int r) const { return {bytes.data() + rows[std::size_t(r)].start, rows[std::size_t(r)].length}; }
    };
    struct Block
    {
        std::unique_ptr<Open> open;            // the block as written, or
        std::string packed;                    // compressed ("" and no `open`: empty)
    };
    // A compressed block unpacked for reading: its bytes and where cell
    // (r, c) lies in them, spans[r * 8 + c].
    struct Unpacked
    {
        int block = -1;
        std::string bytes;
        std::vector<Span> spans;
    };

    void closeOpenRow();
    void openRow(int row);
    Open &openBlock(int block);
    void compress(int block);
    const Unpacked &unpacked(int block) const;
    // Where cell (row, col) lies as UTF-8; false for the open row, which is
    // held as texts.
    bool utf8At(int row, int col, std::string_view &bytes) const;
    void dropCaches() const;
    void unpack(const std::string &packed, std::string &bytes) const;

    std::vector<Block> blocks_;
    std::vector<int> openBlocks_;              // blocks with `open`, usually one
    int rows_ = 0;
    int openRow_ = -1;
    int forgotten_ = 0;                        // blocks before this one are let go
    std::array<QString, kColumns> open_;
    mutable std::array<Unpacked, 2> cache_;
    mutable std::array<QByteArray, kColumns> openUtf8_;   // the open row, for readRowUtf8
    mutable int nextCache_ = 0;
    // Kept for reuse, so that a long log does not leave the heap full of
    // holes the size of a block: a finished block's buffers, the scratch of
    // compression and the compressors themselves.
    std::unique_ptr<Open> spare_;
    std::string raw_, zipped_;
    struct Zstd;
    std::unique_ptr<Zstd> zstd_;
};
