#include "table/RowStore.h"

#include <QStringDecoder>

#include <zstd.h>

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace {

// Cell lengths: one byte below 255; 255 then four bytes for longer texts
// (never from the meter, but any text a caller writes must survive).
void putLength(std::string &out, std::size_t n)
{
    if (n < 255) {
        out += char(n);
        return;
    }
    out += char(255);
    const std::uint32_t v = std::uint32_t(n);
    out.append(reinterpret_cast<const char *>(&v), 4);
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

// A packed row: eight lengths, each followed by its text.
void unpackRow(std::string_view row, std::array<QString, RowStore::kColumns> &cells)
{
    const auto *p = reinterpret_cast<const unsigned char *>(row.data());
    for (QString &cell : cells) {
        if (row.empty()) {
            cell.clear();
            continue;
        }
        const std::size_t n = getLength(p);
        cell = QString::fromUtf8(reinterpret_cast<const char *>(p), qsizetype(n));
        p += n;
    }
}

// Where each cell of a transposed block lies: cell (r, c) is
// spans[r * 8 + c], its start and length.
void cellSpans(const std::string &bytes, std::vector<RowStore::Span> &spans)
{
    constexpr int kCells = RowStore::kBlockRows * RowStore::kColumns;
    spans.resize(kCells);
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.data());
    for (RowStore::Span &s : spans)
        s.length = std::uint32_t(getLength(p));
    std::uint32_t pos = std::uint32_t(p - reinterpret_cast<const unsigned char *>(bytes.data()));
    for (int c = 0; c < RowStore::kColumns; ++c)
        for (int r = 0; r < RowStore::kBlockRows; ++r) {
            RowStore::Span &s = spans[std::size_t(r * RowStore::kColumns + c)];
            s.start = pos;
            pos += s.length;
        }
}

// Level 3: a block of a conductivity log packs in about a tenth of a
// millisecond; higher levels gain little on such repetitive text.
constexpr int kLevel = 3;

} // namespace

struct RowStore::Zstd
{
    ZSTD_CCtx *c = ZSTD_createCCtx();
    ZSTD_DCtx *d = ZSTD_createDCtx();
    ~Zstd()
    {
        ZSTD_freeCCtx(c);
        ZSTD_freeDCtx(d);
    }
};

RowStore::RowStore() : zstd_(std::make_unique<Zstd>()) {}
RowStore::~RowStore() = default;

void RowStore::setRows(int n)
{
    if (n < 0)
        n = 0;
    if (openRow_ >= n)
        closeOpenRow();
    const int keepBlocks = (n + kBlockRows - 1) >> kBlockBits;
    if (n < rows_) {
        // Rows cut off are emptied, so that growing again finds them empty.
        const int last = keepBlocks - 1;
        const Block *b = last >= 0 ? &blocks_[std::size_t(last)] : nullptr;
        if (n % kBlockRows != 0 && b && (b->open || !b->packed.empty())) {
            Open &o = openBlock(last);
            for (int r = n % kBlockRows; r < kBlockRows; ++r)
                o.rows[std::size_t(r)] = {};
        }
        openBlocks_.erase(std::remove_if(openBlocks_.begin(), openBlocks_.end(), [&](int k) { return k >= keepBlocks; }),
                          openBlocks_.end());
        dropCaches();
    }
    rows_ = n;
    blocks_.resize(std::size_t(keepBlocks));
    forgotten_ = qMin(forgotten_, keepBlocks);
}

void RowStore::unpack(const std::string &packed, std::string &bytes) const
{
    const unsigned long long size = ZSTD_getFrameContentSize(packed.data(), packed.size());
    if (size == ZSTD_CONTENTSIZE_ERROR || size == ZSTD_CONTENTSIZE_UNKNOWN)
        throw std::runtime_error("a table block is damaged");
    bytes.resize(std::size_t(size));
    const std::size_t got = ZSTD_decompressDCtx(zstd_->d, bytes.data(), bytes.size(), packed.data(), packed.size());
    if (ZSTD_isError(got) || got != size)
        throw std::runtime_error("a table block is damaged");
}

RowStore::Open &RowStore::openBlock(int block)
{
    Block &b = blocks_[std::size_t(block)];
    if (b.open)
        return *b.open;
    b.open = spare_ ? std::move(spare_) : std::make_unique<Open>();
    b.open->bytes.clear();
    b.open->rows.fill({});
    openBlocks_.push_back(block);
    if (!b.packed.empty()) {
        // Back to the texts as rows: a writer went back to an earlier block
        // (rare: only a caller rewriting old rows does).
        unpack(b.packed, raw_);
        std::vector<Span> spans;
        cellSpans(raw_, spans);
        for (int r = 0; r < kBlockRows; ++r) {
            const std::size_t start = b.open->bytes.size();
            bool any = false;
            for (int c = 0; c < kColumns; ++c) {
                const Span &s = spans[std::size_t(r * kColumns + c)];
                any = any || s.length > 0;
                putLength(b.open->bytes, s.length);
                b.open->bytes.append(raw_, s.start, s.length);
            }
            if (any)
                b.open->rows[std::size_t(r)] = {std::uint32_t(start), std::uint32_t(b.open->bytes.size() - start)};
            else
                b.open->bytes.resize(start);
        }
        b.packed = std::string();
        dropCaches();
    }
    return *b.open;
}

// A block's rows for compression: every cell's length, row by row, then the
// texts column by column (a column's texts look alike: the clock, a unit).
// An empty row is eight empty cells.
void RowStore::compress(int block)
{
    Block &b = blocks_[std::size_t(block)];
    if (!b.open)
        return;
    const Open &o = *b.open;
    raw_.clear();
    bool any = false;
    for (int r = 0; r < kBlockRows; ++r) {
        const std::string_view row = o.row(r);
        const auto *p = reinterpret_cast<const unsigned char *>(row.data());
        for (int c = 0; c < kColumns; ++c) {
            const std::size_t n = row.empty() ? 0 : getLength(p);
            putLength(raw_, n);
            p += n;
            any = any || n > 0;
        }
    }
    for (int c = 0; c < kColumns; ++c)
        for (int r = 0; r < kBlockRows; ++r) {
            const std::string_view row = o.row(r);
            if (row.empty())
                continue;
            const auto *p = reinterpret_cast<const unsigned char *>(row.data());
            for (int k = 0; k < c; ++k)
                p += getLength(p);
            const std::size_t n = getLength(p);
            raw_.append(reinterpret_cast<const char *>(p), n);
        }
    if (any) {
        zipped_.resize(ZSTD_compressBound(raw_.size()));
        const std::size_t n = ZSTD_compressCCtx(zstd_->c, zipped_.data(), zipped_.size(), raw_.data(), raw_.size(), kLevel);
        if (ZSTD_isError(n))
            return;   // stays as it is, uncompressed
        b.packed.assign(zipped_.data(), n);
    }
    spare_ = std::move(b.open);
}

const RowStore::Unpacked &RowStore::unpacked(int block) const
{
    for (const Unpacked &u : cache_)
        if (u.block == block)
            return u;
    Unpacked &u = cache_[std::size_t(nextCache_)];
    nextCache_ = (nextCache_ + 1) % int(cache_.size());
    u.block = -1;
    unpack(blocks_[std::size_t(block)].packed, u.bytes);
    cellSpans(u.bytes, u.spans);
    u.block = block;
    return u;
}

void RowStore::dropCaches() const
{
    for (Unpacked &u : cache_)
        u.block = -1;
}

bool RowStore::utf8At(int row, int col, std::string_view &bytes) const
{
    bytes = {};
    if (row == openRow_)
        return false;
    const Block &b = blocks_[std::size_t(row >> kBlockBits)];
    const int r = row & (kBlockRows - 1);
    if (b.open) {
        const std::string_view packed = b.open->row(r);
        if (packed.empty())
            return true;
        const auto *p = reinterpret_cast<const unsigned char *>(packed.data());
        for (int c = 0; c < col; ++c)
            p += getLength(p);
        const std::size_t n = getLength(p);
        bytes = {reinterpret_cast<const char *>(p), n};
        return true;
    }
    if (b.packed.empty())
        return true;
    const Unpacked &u = unpacked(row >> kBlockBits);
    const Span &s = u.spans[std::size_t(r * kColumns + col)];
    bytes = {u.bytes.data() + s.start, s.length};
    return true;
}

QString RowStore::cell(int row, int col) const
{
    if (col < 0 || col >= kColumns || row < 0 || row >= rows_)
        return QString();
    std::string_view bytes;
    if (!utf8At(row, col, bytes))
        return open_[std::size_t(col)];
    return QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
}

void RowStore::readRow(int row, std::array<QString, kColumns> &cells) const
{
    for (int c = 0; c < kColumns; ++c) {
        QString &cell = cells[std::size_t(c)];
        std::string_view bytes;
        if (row < 0 || row >= rows_) {
            cell.clear();
        } else if (!utf8At(row, c, bytes)) {
            cell = open_[std::size_t(c)];
        } else {
            // At most one UTF-16 unit a byte; decoded in place, so a buffer
            // that holds the text already is used again.
            cell.resize(qsizetype(bytes.size()));
            QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
            const QChar *end = utf8.appendToBuffer(cell.data(), QByteArrayView(bytes.data(), qsizetype(bytes.size())));
            cell.resize(end - cell.constData());
        }
    }
}

void RowStore::readRowUtf8(int row, std::array<std::string_view, kColumns> &cells) const
{
    for (int c = 0; c < kColumns; ++c) {
        std::string_view &cell = cells[std::size_t(c)];
        if (row < 0 || row >= rows_) {
            cell = {};
        } else if (!utf8At(row, c, cell)) {
            QByteArray &bytes = openUtf8_[std::size_t(c)];
            bytes = open_[std::size_t(c)].toUtf8();
            cell = {bytes.constData(), std::size_t(bytes.size())};
        }
    }
}

void RowStore::setCell(int row, int col, const QString &text)
{
    if (col < 0 || col >= kColumns || row < 0 || row >= rows_)
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
    Open &o = openBlock(row >> kBlockBits);
    unpackRow(o.row(row & (kBlockRows - 1)), open_);
}

void RowStore::closeOpenRow()
{
    if (openRow_ < 0)
        return;
    const int row = openRow_;
    const int block = row >> kBlockBits;
    openRow_ = -1;
    Open &o = openBlock(block);
    const std::size_t start = o.bytes.size();
    bool any = false;
    for (QString &cell : open_) {
        const QByteArray utf8 = cell.toUtf8();
        any = any || !utf8.isEmpty();
        putLength(o.bytes, std::size_t(utf8.size()));
        o.bytes.append(utf8.constData(), std::size_t(utf8.size()));
        cell.clear();
    }
    if (!any)
        o.bytes.resize(start);
    o.rows[std::size_t(row & (kBlockRows - 1))] = {std::uint32_t(start), std::uint32_t(any ? o.bytes.size() - start : 0)};
    // Every other block being written is done with: compress it. A writer
    // going row by row compresses each block once, when it starts the next.
    if (openBlocks_.size() > 1) {
        for (int k : openBlocks_)
            if (k != block)
                compress(k);
        openBlocks_.assign(1, block);
    }
}

void RowStore::clear()
{
    openRow_ = -1;
    forgotten_ = 0;
    for (auto &s : open_)
        s.clear();
    const int n = rows_;
    blocks_.clear();
    blocks_.resize(std::size_t((n + kBlockRows - 1) >> kBlockBits));
    openBlocks_.clear();
    dropCaches();
}

void RowStore::forgetBefore(int row)
{
    const int until = qMin(qMax(row, 0), rows_) >> kBlockBits;
    if (until <= forgotten_)
        return;
    if (openRow_ >= 0 && (openRow_ >> kBlockBits) < until) {
        openRow_ = -1;
        for (auto &s : open_)
            s.clear();
    }
    openBlocks_.erase(std::remove_if(openBlocks_.begin(), openBlocks_.end(), [&](int k) { return k < until; }),
                      openBlocks_.end());
    for (int k = forgotten_; k < until; ++k)
        blocks_[std::size_t(k)] = Block{};
    forgotten_ = until;
    dropCaches();
}

std::size_t RowStore::memoryBytes() const
{
    std::size_t total = blocks_.capacity() * sizeof(Block) + raw_.capacity() + zipped_.capacity();
    for (const Block &b : blocks_) {
        total += b.packed.capacity();
        if (b.open)
            total += sizeof(Open) + b.open->bytes.capacity();
    }
    if (spare_)
        total += sizeof(Open) + spare_->bytes.capacity();
    for (const Unpacked &u : cache_)
        total += u.bytes.capacity() + u.spans.capacity() * sizeof(Span);
    for (const QString &s : open_)
        total += std::size_t(s.capacity()) * 2;
    return total;
}
