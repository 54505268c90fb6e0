#include "table/CompoundFile.h"

#include "files/WriteAll.h"

#include <QtEndian>

#include <vector>

namespace {

constexpr int kSector = 512;
constexpr quint32 kFree = 0xFFFFFFFF, kEndOfChain = 0xFFFFFFFE, kFatSect = 0xFFFFFFFD, kDifSect = 0xFFFFFFFC;
constexpr int kIdsPerSector = kSector / 4;
constexpr int kHeaderDifat = 109;
constexpr quint64 kMiniCutoff = 4096;

void put16(QByteArray &b, int at, quint16 v) { qToLittleEndian(v, b.data() + at); }
void put32(QByteArray &b, int at, quint32 v) { qToLittleEndian(v, b.data() + at); }

QByteArray ids(const std::vector<quint32> &v, std::size_t from, std::size_t count, quint32 fill)
{
    QByteArray s(kSector, '\0');
    for (std::size_t i = 0; i < count; ++i)
        put32(s, int(4 * i), from + i < v.size() ? v[from + i] : fill);
    return s;
}

// One 128-byte directory entry.
QByteArray entry(const QString &name, quint8 type, quint32 child, quint32 start, quint64 size)
{
    QByteArray e(128, '\0');
    if (type != 0) {
        for (int i = 0; i < name.size() && i < 31; ++i)
            put16(e, 2 * i, name[i].unicode());
        put16(e, 64, quint16(2 * (qMin<qsizetype>(name.size(), 31) + 1)));
    }
    e[66] = char(type);
    e[67] = char(type != 0 ? 1 : 0);   // black; an unused entry is all zeros
    put32(e, 68, kFree);   // no left sibling
    put32(e, 72, kFree);   // no right sibling
    put32(e, 76, child);
    put32(e, 116, start);
    put32(e, 120, quint32(size));
    return e;
}

} // namespace

bool writeCompoundFile(QIODevice &out, const QString &streamName, quint64 streamSize,
                       const std::function<bool(QIODevice &)> &writeStream)
{
    // 1. Sectors: the stream, one directory sector, the allocation table
    //    (FAT) and, past 109 FAT sectors, the DIFAT that lists them. The
    //    FAT must also cover itself and the DIFAT: count until it settles.
    const quint64 padded = qMax(streamSize, kMiniCutoff);
    const quint64 streamSectors = (padded + kSector - 1) / kSector;
    quint64 fat = 0, difat = 0;
    for (;;) {
        const quint64 need = (streamSectors + 1 + fat + difat + kIdsPerSector - 1) / kIdsPerSector;
        const quint64 needDifat = need > kHeaderDifat ? (need - kHeaderDifat + kIdsPerSector - 2) / (kIdsPerSector - 1) : 0;
        if (need == fat && needDifat == difat)
            break;
        fat = need;
        difat = needDifat;
    }
    const quint32 dirSector = quint32(streamSectors);
    const quint32 firstFat = dirSector + 1;
    const quint32 firstDifat = quint32(firstFat + fat);

    // 2. The table: the stream's chain, the directory, FAT and DIFAT sectors.
    std::vector<quint32> table(std::size_t(fat * kIdsPerSector), kFree);
    for (quint64 i = 0; i < streamSectors; ++i)
        table[i] = i + 1 < streamSectors ? quint32(i + 1) : kEndOfChain;
    table[dirSector] = kEndOfChain;
    for (quint64 i = 0; i < fat; ++i)
        table[firstFat + i] = kFatSect;
    for (quint64 i = 0; i < difat; ++i)
        table[firstDifat + i] = kDifSect;
    std::vector<quint32> fatSectors;
    for (quint64 i = 0; i < fat; ++i)
        fatSectors.push_back(quint32(firstFat + i));

    // 3. The header.
    QByteArray h(kSector, '\0');
    const char sig[8] = {char(0xD0), char(0xCF), 0x11, char(0xE0), char(0xA1), char(0xB1), 0x1A, char(0xE1)};
    memcpy(h.data(), sig, 8);
    put16(h, 24, 0x003E);                  // minor version
    put16(h, 26, 0x0003);                  // major version: 512-byte sectors
    put16(h, 28, 0xFFFE);                  // little-endian
    put16(h, 30, 9);                       // sector size 2^9
    put16(h, 32, 6);                       // mini sector size 2^6
    put32(h, 44, quint32(fat));
    put32(h, 48, dirSector);
    put32(h, 56, quint32(kMiniCutoff));
    put32(h, 60, kEndOfChain);             // no mini FAT
    put32(h, 68, difat ? firstDifat : kEndOfChain);
    put32(h, 72, quint32(difat));
    for (int i = 0; i < kHeaderDifat; ++i)
        put32(h, 76 + 4 * i, std::size_t(i) < fatSectors.size() ? fatSectors[std::size_t(i)] : kFree);
    if (!writeAll(out, h))
        return false;

    // 4. The stream, padded to whole sectors.
    const qint64 before = out.pos();
    if (!writeStream(out) || quint64(out.pos() - before) != streamSize)
        return false;
    const QByteArray pad(int(streamSectors * kSector - streamSize), '\0');
    if (!writeAll(out, pad))
        return false;

    // 5. Directory: the root, then the stream as its only child. The stream
    //    counts its padding: a size under 4096 would send readers to a mini
    //    stream that is not there.
    QByteArray dir = entry(QStringLiteral("Root Entry"), 5, 1, kEndOfChain, 0)
        + entry(streamName, 2, kFree, 0, padded) + entry({}, 0, kFree, 0, 0) + entry({}, 0, kFree, 0, 0);
    if (!writeAll(out, dir))
        return false;

    // 6. FAT sectors, then DIFAT sectors (127 ids and the next one's number).
    for (quint64 i = 0; i < fat; ++i)
        if (!writeAll(out, ids(table, std::size_t(i * kIdsPerSector), kIdsPerSector, kFree)))
            return false;
    for (quint64 d = 0; d < difat; ++d) {
        QByteArray s = ids(fatSectors, std::size_t(kHeaderDifat + d * (kIdsPerSector - 1)), kIdsPerSector - 1, kFree);
        put32(s, kSector - 4, d + 1 < difat ? quint32(firstDifat + d + 1) : kEndOfChain);
        if (!writeAll(out, s))
            return false;
    }
    return true;
}
