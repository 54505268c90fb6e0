#include "table/RowStore.h"

#include <algorithm>
#include <cstring>

namespace {

// Cell lengths: one byte below 255; 255 then four bytes for longer texts
// (never from the meter, but any text a caller writes must survive).
std::size_t lengthBytes(std::size_t n) { return n < 255 ? 1 : 5; }

void putLength(unsigned char *&p, std::size_t n)
{
    if (n < 255) {
        *p++ = static_cast<unsigned char>(n);
        return;
    }
    *p++ = 255;
    const std::uint32_t v = std::uint32_t(n);
    std::memcpy(p, &v, 4);
    p += 4;
}

std::size_t getLength(const unsigned char *&p)
{
    if (*p < 255)
        return *p++;
    ++p;
    std::uint32_t v;
    std::memcpy(&v, p, 4);
    p += 4;
    return v;
}

} // namespace

RowStore::RowStore() = default;

void RowStore::setRows(int n)
{
    if (n < 0)
        n = 0;
    if (openRow_ >= n)
        closeOpenRow();
    index_.resize(std::size_t(n), kNone);
}

const unsigned char *RowStore::blob(std::uint64_t ref) const
{
    return chunks_[std::size_t(ref >> 32)].get() + (ref & 0xffffffffu);
}

QString RowStore::cell(int row, int col) const
{
    if (col < 0 || col >= kColumns || row < 0 || row >= rows())
        return QString();
    if (row == openRow_)
        return open_[std::size_t(col)];
    const std::uint64_t ref = index_[std::size_t(row)];
    if (ref == kNone)
        return QString();
    const unsigned char *p = blob(ref);
    for (int c = 0; c < col; ++c)
        p += getLength(p);
    const std::size_t n = getLength(p);
    return QString::fromUtf8(reinterpret_cast<const char *>(p), qsizetype(n));
}

void RowStore::setCell(int row, int col, const QString &text)
{
    if (col < 0 || col >= kColumns || row < 0 || row >= rows())
        return;
    if (row != openRow_) {
        closeOpenRow();
        openRow(row);
    }
    open_[std::size_t(col)] = text;
}

void RowStore::openRow(int row)
{
    openRow_ = row;
    for (int c = 0; c < kColumns; ++c)
        open_[std::size_t(c)].clear();
    const std::uint64_t ref = index_[std::size_t(row)];
    if (ref == kNone)
        return;
    const unsigned char *p = blob(ref);
    for (int c = 0; c < kColumns; ++c) {
        const std::size_t n = getLength(p);
        open_[std::size_t(c)] = QString::fromUtf8(reinterpret_cast<const char *>(p), qsizetype(n));
        p += n;
    }
    // The old packed copy is abandoned; rewriting a finished row is rare
    // (only a caller going back to an earlier row does it).
}

void RowStore::closeOpenRow()
{
    if (openRow_ < 0)
        return;
    const int row = openRow_;
    openRow_ = -1;
    std::array<QByteArray, kColumns> utf8;
    std::size_t size = 0;
    bool any = false;
    for (int c = 0; c < kColumns; ++c) {
        utf8[std::size_t(c)] = open_[std::size_t(c)].toUtf8();
        const std::size_t n = std::size_t(utf8[std::size_t(c)].size());
        any = any || n > 0;
        size += lengthBytes(n) + n;
        open_[std::size_t(c)].clear();
    }
    if (!any) {
        index_[std::size_t(row)] = kNone;
        return;
    }
    if (chunks_.empty() || used_ + size > chunkSizes_.back()) {
        // Chunks start small so a short log stays small, and double up to
        // 1 MiB so a long one needs few of them.
        const std::size_t next = chunkSizes_.empty() ? kFirstChunk : std::min(kChunk, chunkSizes_.back() * 2);
        const std::size_t cap = std::max(size, next);
        chunks_.emplace_back(new unsigned char[cap]);
        chunkSizes_.push_back(cap);
        used_ = 0;
    }
    unsigned char *start = chunks_.back().get() + used_;
    unsigned char *p = start;
    for (const QByteArray &b : utf8) {
        putLength(p, std::size_t(b.size()));
        std::memcpy(p, b.constData(), std::size_t(b.size()));
        p += b.size();
    }
    index_[std::size_t(row)] = (std::uint64_t(chunks_.size() - 1) << 32) | used_;
    used_ += size;
}

void RowStore::clear()
{
    openRow_ = -1;
    for (auto &s : open_)
        s.clear();
    chunks_.clear();
    chunkSizes_.clear();
    used_ = 0;
    std::fill(index_.begin(), index_.end(), kNone);
}

std::size_t RowStore::memoryBytes() const
{
    std::size_t total = index_.capacity() * sizeof(std::uint64_t);
    for (std::size_t s : chunkSizes_)
        total += s;
    for (const QString &s : open_)
        total += std::size_t(s.capacity()) * 2;
    return total;
}
