#pragma once
#include <QString>

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

// The cell texts of the data rows, kept compactly: the log may run for days
// at one row a second, so a row costs one 8-byte index entry plus its eight
// texts packed as UTF-8 with a one-byte length each (about 80 bytes for a
// conductivity row) in an arena of chunks (16 KiB growing to 1 MiB) that
// never move, so no append ever copies the log.
//
// Rows are written one cell at a time and usually one row at a time. The row
// being written lives unpacked in a small "open row" and is packed once, when
// another row is written or the store is cleared; reads see it either way.
class RowStore
{
public:
    static constexpr int kColumns = 8;

    RowStore();

    int rows() const { return int(index_.size()); }
    void setRows(int n);                       // grows or shrinks; new rows are empty

    QString cell(int row, int col) const;
    void setCell(int row, int col, const QString &text);
    void clear();                              // every cell empty; row count kept

    // Bytes held: arena chunks, the index and the open row.
    std::size_t memoryBytes() const;

private:
    static constexpr std::uint64_t kNone = ~std::uint64_t(0);
    static constexpr std::size_t kChunk = std::size_t(1) << 20;
    static constexpr std::size_t kFirstChunk = std::size_t(1) << 14;

    void closeOpenRow();
    void openRow(int row);
    const unsigned char *blob(std::uint64_t ref) const;

    std::vector<std::uint64_t> index_;         // per row: chunk << 32 | offset, or kNone
    std::vector<std::unique_ptr<unsigned char[]>> chunks_;
    std::vector<std::size_t> chunkSizes_;
    std::size_t used_ = 0;                     // bytes used in the last chunk
    int openRow_ = -1;
    std::array<QString, kColumns> open_;
};
