#include "table/XlsWriter.h"

#include "files/WriteAll.h"
#include "table/CompoundFile.h"
#include "table/NumericCell.h"

#include <QHash>
#include <QTemporaryFile>
#include <QtEndian>

#include <cmath>
#include <string>
#include <string_view>
#include <vector>

namespace {

// Record data is at most this long; longer contents continue in CONTINUE.
constexpr int kMaxData = 8224;
constexpr int kCols = 8;
constexpr int kRowBlock = 32;
constexpr quint16 kCellXf = 15;            // the first cell format after the 15 style formats: text
constexpr quint16 kFirstNumberFormat = 164;  // number formats of our own; those below are built in
constexpr int kSharedSlots = 4096;         // texts remembered for sharing, the latest by hash
constexpr int kBuckets = 128;              // string positions listed in EXTSST
constexpr quint16 kDefColWidthSize = 6;    // the last record of sheetHead()

const QString kTooLarge = QStringLiteral("the table is too large for an Excel 97-2003 workbook; "
                                         "save it as .xlsx or .csv");

enum : quint16 {
    rBOF = 0x0809, rEOF = 0x000A, rINTERFACEHDR = 0x00E1, rMMS = 0x00C1, rINTERFACEEND = 0x00E2,
    rWRITEACCESS = 0x005C, rCODEPAGE = 0x0042, rDSF = 0x0161, rRRTABID = 0x013D, rWINDOWPROTECT = 0x0019,
    rPROTECT = 0x0012, rPASSWORD = 0x0013, rPROT4REV = 0x01AF, rPROT4REVPASS = 0x01BC, rWINDOW1 = 0x003D,
    rBACKUP = 0x0040, rHIDEOBJ = 0x008D, rDATE1904 = 0x0022, rPRECISION = 0x000E, rREFRESHALL = 0x01B7,
    rBOOKBOOL = 0x00DA, rFONT = 0x0031, rXF = 0x00E0, rSTYLE = 0x0293, rUSESELFS = 0x0160,
    rBOUNDSHEET = 0x0085, rCOUNTRY = 0x008C, rSST = 0x00FC, rCONTINUE = 0x003C, rEXTSST = 0x00FF,
    rINDEX = 0x020B, rCALCMODE = 0x000D, rCALCCOUNT = 0x000C, rREFMODE = 0x000F, rITERATION = 0x0011,
    rDELTA = 0x0010, rSAVERECALC = 0x005F, rPRINTHEADERS = 0x002A, rPRINTGRIDLINES = 0x002B,
    rGRIDSET = 0x0082, rGUTS = 0x0080, rDEFAULTROWHEIGHT = 0x0225, rWSBOOL = 0x0081, rHEADER = 0x0014,
    rFOOTER = 0x0015, rHCENTER = 0x0083, rVCENTER = 0x0084, rDEFCOLWIDTH = 0x0055, rDIMENSIONS = 0x0200,
    rROW = 0x0208, rLABELSST = 0x00FD, rDBCELL = 0x00D7, rWINDOW2 = 0x023E, rFORMAT = 0x041E, rNUMBER = 0x0203,
    rRK = 0x027E,
};

// Little-endian record building.
struct Bytes
{
    QByteArray b;
    Bytes &u8(int v) { b.append(char(v)); return *this; }
    Bytes &u16(int v) { char c[2]; qToLittleEndian(quint16(v), c); b.append(c, 2); return *this; }
    Bytes &u32(quint32 v) { char c[4]; qToLittleEndian(v, c); b.append(c, 4); return *this; }
    Bytes &raw(const QByteArray &x) { b.append(x); return *this; }
};

QByteArray record(quint16 id, const QByteArray &data)
{
    return Bytes().u16(id).u16(int(data.size())).raw(data).b;
}
QByteArray record(quint16 id, const Bytes &data) { return record(id, data.b); }

// A record of 16-bit words, straight into `out`: the ROW and LABELSST
// records are written millions of times.
template <std::size_t N>
void appendWords(QByteArray &out, const std::array<quint16, N> &words)
{
    char r[2 * N];
    for (std::size_t i = 0; i < N; ++i)
        qToLittleEndian(words[i], r + 2 * i);
    out.append(r, qsizetype(sizeof r));
}

void appendLabelSst(QByteArray &out, int row, int col, quint32 sst)
{
    appendWords<7>(out, {rLABELSST, 10, quint16(row), quint16(col), kCellXf, quint16(sst), quint16(sst >> 16)});
}

// A number: as an RK (30-bit integer) where that holds it exactly, else
// as a NUMBER with the whole double.
void appendNumber(QByteArray &out, int row, int col, quint16 xf, double value)
{
    constexpr double kRkLimit = 1 << 29;
    if (value == std::trunc(value) && value >= -kRkLimit && value < kRkLimit) {
        const quint32 rk = (quint32(qint32(value)) << 2) | 0x2;   // integer, not scaled by 100
        appendWords<7>(out, {rRK, 10, quint16(row), quint16(col), xf, quint16(rk), quint16(rk >> 16)});
        return;
    }
    appendWords<5>(out, {rNUMBER, 14, quint16(row), quint16(col), xf});
    char v[8];
    qToLittleEndian(value, v);
    out.append(v, 8);
}

void appendRow(QByteArray &out, int row, int firstCol, int endCol)
{
    // Default height (255 twips), no outline, the row's format not used.
    appendWords<10>(out, {rROW, 16, quint16(row), quint16(firstCol), quint16(endCol), 0x00FF, 0, 0, 0x0100, kCellXf});
}

bool latin1(const QString &s)
{
    for (QChar c : s)
        if (c.unicode() > 0xFF)
            return false;
    return true;
}

// A short text with a one-byte length (font and sheet names).
QByteArray shortString(const QString &s)
{
    return Bytes().u8(int(s.size())).u8(0).raw(s.toLatin1()).b;
}

QByteArray bof(int type)
{
    return record(rBOF, Bytes().u16(0x0600).u16(type).u16(0x0DBB).u16(0x07CC).u32(0).u32(6));
}

// The workbook's globals up to the shared strings, with the sheets at the
// stream offsets given (their size does not depend on the offsets), and a
// cell format for each number format, from kCellXf + 1 on.
QByteArray globalsPrefix(const std::vector<quint32> &sheetOffsets, const QStringList &numberFormats)
{
    QByteArray g = bof(0x0005);
    g += record(rINTERFACEHDR, Bytes().u16(1200));
    g += record(rMMS, Bytes().u16(0));
    g += record(rINTERFACEEND, QByteArray());
    QByteArray who = Bytes().u16(5).u8(0).raw("TQ800").b;
    who += QByteArray(112 - who.size(), ' ');
    g += record(rWRITEACCESS, who);
    g += record(rCODEPAGE, Bytes().u16(1200));
    g += record(rDSF, Bytes().u16(0));
    Bytes tabs;
    for (std::size_t i = 0; i < sheetOffsets.size(); ++i)
        tabs.u16(int(i + 1));
    g += record(rRRTABID, tabs);
    for (quint16 id : {rWINDOWPROTECT, rPROTECT, rPASSWORD, rPROT4REV, rPROT4REVPASS})
        g += record(id, Bytes().u16(0));
    g += record(rWINDOW1, Bytes().u16(0).u16(0).u16(0x4000).u16(0x2000).u16(0x0038).u16(0).u16(0).u16(1).u16(0x0258));
    for (quint16 id : {rBACKUP, rHIDEOBJ, rDATE1904})
        g += record(id, Bytes().u16(0));
    g += record(rPRECISION, Bytes().u16(1));
    g += record(rREFRESHALL, Bytes().u16(0));
    g += record(rBOOKBOOL, Bytes().u16(0));
    for (int i = 0; i < 4; ++i)   // Arial 10 pt
        g += record(rFONT, Bytes().u16(200).u16(0).u16(0x7FFF).u16(400).u16(0).u8(0).u8(0).u8(0).u8(0)
                               .raw(shortString(QStringLiteral("Arial"))));
    for (int i = 0; i < numberFormats.size(); ++i) {
        const QString &f = numberFormats[i];
        Bytes format;
        format.u16(kFirstNumberFormat + i).u16(int(f.size())).u8(0).raw(f.toLatin1());
        g += record(rFORMAT, format);
    }
    for (int i = 0; i < 15; ++i)   // the style formats, then the text cell format
        g += record(rXF, Bytes().u16(0).u16(0).u16(0xFFF5).u8(0x20).u8(0).u8(0).u8(0xF4).u32(0).u32(0).u16(0x20C0));
    g += record(rXF, Bytes().u16(0).u16(0).u16(0x0001).u8(0x20).u8(0).u8(0).u8(0).u32(0).u32(0).u16(0x20C0));
    // The number cells' formats: their own number format (flagged as set
    // here, not taken from the style), all else as the text cells.
    for (int i = 0; i < numberFormats.size(); ++i)
        g += record(rXF, Bytes().u16(0).u16(kFirstNumberFormat + i).u16(0x0001).u8(0x20).u8(0).u8(0).u8(0x04)
                             .u32(0).u32(0).u16(0x20C0));
    g += record(rSTYLE, Bytes().u16(0x8000).u8(0).u8(0xFF));
    g += record(rUSESELFS, Bytes().u16(1));
    for (std::size_t i = 0; i < sheetOffsets.size(); ++i)
        g += record(rBOUNDSHEET, Bytes().u32(sheetOffsets[i]).u16(0)
                                     .raw(shortString(QStringLiteral("Sheet%1").arg(i + 1))));
    g += record(rCOUNTRY, Bytes().u16(1).u16(1));
    return g;
}

// The shared-string table, written as it grows: a text's length, flags and
// first character never straddle a record; a text cut between records goes
// on in a CONTINUE that starts with its flags byte again.
class SstWriter
{
public:
    // `texts`: at most this many texts will be added, so that the EXTSST
    // buckets (every `bucket_`-th text's position) number at most 128.
    SstWriter(QIODevice &out, qint64 texts)
        : out_(out), bucket_(int(qBound(qint64(8), (texts + kBuckets - 1) / kBuckets, qint64(0xFFFF))))
    {
        data_ = Bytes().u32(0).u32(0).b;   // the counts, filled in by finish()
    }

    quint32 add(const QString &s)
    {
        // A text seen lately is shared: units, dates and "----" repeat row
        // after row, while a clock time never does. A small table indexed
        // by hash, the newest text in each slot, stays in the processor's
        // cache however long the log; a table of every text would not.
        // A slot keeps a copy of its own, in a buffer it reuses: sharing
        // the caller's text would make the caller's next row allocate.
        Seen &seen = seen_[qHash(s) & (kSharedSlots - 1)];
        const std::u16string_view text(reinterpret_cast<const char16_t *>(s.utf16()), std::size_t(s.size()));
        if (!seen.text.empty() && seen.text == text)
            return seen.index;
        const quint32 index = unique_++;
        seen.text.assign(text);
        seen.index = index;
        const bool wide = !latin1(s);
        const int charBytes = wide ? 2 : 1;
        // Length, flags and the first character stay together.
        if (data_.size() + 3 + charBytes > kMaxData)
            flush();
        if (index % quint32(bucket_) == 0)
            buckets_.push_back({written_ + 4 + quint64(data_.size()), quint16(4 + data_.size())});
        char head[3];
        qToLittleEndian(quint16(s.size()), head);
        head[2] = char(wide ? 1 : 0);
        data_.append(head, 3);
        qsizetype i = 0;
        while (i < s.size()) {
            qsizetype n = qMin<qsizetype>((kMaxData - data_.size()) / charBytes, s.size() - i);
            if (wide && n > 0 && n < s.size() - i && s[i + n - 1].isHighSurrogate())
                --n;   // never split a surrogate pair
            if (n <= 0) {
                flush();
                data_ += char(wide ? 1 : 0);
                continue;
            }
            if (wide) {
                for (qsizetype k = 0; k < n; ++k) {
                    char c[2];
                    qToLittleEndian(s[i + k].unicode(), c);
                    data_.append(c, 2);
                }
            } else {
                const qsizetype at = data_.size();
                data_.resize(at + n);
                char *to = data_.data() + at;
                for (qsizetype k = 0; k < n; ++k)
                    to[k] = char(s[i + k].unicode());
            }
            i += n;
        }
        return index;
    }

    // Writes the last record and the counts into the first.
    bool finish(quint32 total)
    {
        flush();
        const qint64 end = out_.pos();
        const QByteArray counts = Bytes().u32(total).u32(unique_).b;
        if (!out_.seek(4) || !writeAll(out_, counts) || !out_.seek(end))
            ok_ = false;
        return ok_;
    }

    // `base`: where the table stands in the workbook stream, known only
    // once the globals before it (with the number formats the cells used)
    // are.
    QByteArray extsst(quint64 base) const
    {
        Bytes ext;
        ext.u16(bucket_);
        for (const auto &b : buckets_)
            ext.u32(quint32(base + b.pos)).u16(b.offset).u16(0);
        return record(rEXTSST, ext);
    }

    quint64 size() const { return written_; }
    bool ok() const { return ok_; }

private:
    void flush()
    {
        const QByteArray r = record(first_ ? rSST : rCONTINUE, data_);
        if (ok_ && !writeAll(out_, r))
            ok_ = false;
        written_ += quint64(r.size());
        first_ = false;
        data_.resize(0);   // keeps its buffer for the next record
    }

    struct Bucket { quint64 pos; quint16 offset; };   // pos: from the table's start
    QIODevice &out_;
    int bucket_;
    QByteArray data_;
    struct Seen { std::u16string text; quint32 index = 0; };
    std::vector<Seen> seen_ = std::vector<Seen>(kSharedSlots);
    quint32 unique_ = 0;
    quint64 written_ = 0;
    bool first_ = true;
    bool ok_ = true;
    std::vector<Bucket> buckets_;
};

// The calculation and print settings of a sheet, ending with DEFCOLWIDTH.
QByteArray sheetHead()
{
    QByteArray s;
    s += record(rCALCMODE, Bytes().u16(1));
    s += record(rCALCCOUNT, Bytes().u16(100));
    s += record(rREFMODE, Bytes().u16(1));
    s += record(rITERATION, Bytes().u16(0));
    QByteArray delta(8, '\0');
    qToLittleEndian(0.001, delta.data());
    s += record(rDELTA, delta);
    s += record(rSAVERECALC, Bytes().u16(1));
    s += record(rPRINTHEADERS, Bytes().u16(0));
    s += record(rPRINTGRIDLINES, Bytes().u16(0));
    s += record(rGRIDSET, Bytes().u16(1));
    s += record(rGUTS, Bytes().u32(0).u32(0));
    s += record(rDEFAULTROWHEIGHT, Bytes().u16(0).u16(0x00FF));
    s += record(rWSBOOL, Bytes().u16(0x04C1));
    s += record(rHEADER, QByteArray());
    s += record(rFOOTER, QByteArray());
    s += record(rHCENTER, Bytes().u16(0));
    s += record(rVCENTER, Bytes().u16(0));
    s += record(rDEFCOLWIDTH, Bytes().u16(8));
    return s;
}

// A sheet's rows and cells as written to the scratch file, and the range
// they cover (for DIMENSIONS and INDEX, which stand before them).
struct SheetBody
{
    qint64 start = 0, size = 0;            // in the scratch file
    std::vector<quint32> dbcells;          // positions from the body's start
    int firstRow = 0, lastRow = -1, firstCol = kCols, lastCol = -1;

    void cover(int row, int lo, int hi)
    {
        if (lastRow < 0)
            firstRow = row;
        lastRow = row;
        firstCol = qMin(firstCol, lo);
        lastCol = qMax(lastCol, hi);
    }
};

} // namespace

QString writeXls(QIODevice &out, const ExportSource &source, const QString &scratchDir)
{
    const int dataRows = qMax(0, source.rows - 1);
    const int perSheet = kXlsSheetRows - 1;
    const int sheets = qMax(1, (dataRows + perSheet - 1) / perSheet);

    // Scratch files beside the target, unnamed where the system allows (a
    // crash leaves nothing behind), unbuffered so that a full disk shows at
    // the write that met it. (QTemporaryFile hides open(mode); through
    // QFile it is the same call.)
    QTemporaryFile sstFile(scratchDir + QStringLiteral("/.tq800-strings-XXXXXX"));
    QTemporaryFile bodyFile(scratchDir + QStringLiteral("/.tq800-sheets-XXXXXX"));
    for (QFile *f : {static_cast<QFile *>(&sstFile), static_cast<QFile *>(&bodyFile)})
        if (!f->open(QIODevice::ReadWrite | QIODevice::Unbuffered))
            return f->errorString();

    SstWriter sst(sstFile, qint64(source.rows) * kCols);
    // The number formats in the order the cells first used them; cell
    // format kCellXf + 1 + i has number format i.
    QStringList numberFormats;
    QHash<QString, quint16> numberXf;
    const auto xfOf = [&](const QString &format) {
        auto it = numberXf.constFind(format);
        if (it == numberXf.cend()) {
            numberFormats << format;
            it = numberXf.insert(format, quint16(kCellXf + numberFormats.size()));
        }
        return *it;
    };
    // The sheets' bytes go to their scratch file a megabyte at a time.
    QByteArray pending;
    qint64 bodyWritten = 0;
    bool bodyOk = true;
    const auto bodyPos = [&] { return bodyWritten + pending.size(); };
    const auto flushBody = [&](qsizetype atLeast) {
        if (bodyOk && pending.size() >= atLeast) {
            bodyOk = writeAll(bodyFile, pending);
            bodyWritten += pending.size();
            pending.resize(0);
        }
        return bodyOk && sst.ok();
    };
    const auto scratchError = [&] { return sst.ok() ? bodyFile.errorString() : sstFile.errorString(); };

    // 1. One pass over the table: the shared strings to one scratch file,
    //    the sheets' rows and cells to the other. A text that is a number
    //    (the header's never) goes in as a number that reads the same.
    std::vector<SheetBody> bodies{std::size_t(sheets)};
    ExportSource::Row header, cells;
    source.read(0, header);
    quint32 textCells = 0;
    QByteArray rows, cellRecords;
    std::vector<int> cellSizes;
    for (int sheet = 0; sheet < sheets; ++sheet) {
        SheetBody &body = bodies[std::size_t(sheet)];
        body.start = bodyPos();
        const int before = sheet * perSheet;   // table rows on the sheets before
        const int count = qMin(perSheet, dataRows - before);
        // Rows in blocks of 32: the ROW records, the cells, then a DBCELL
        // that points back at them. Sheet row 0 is the header.
        for (int blockStart = 0; blockStart <= count; blockStart += kRowBlock) {
            rows.resize(0);
            cellRecords.resize(0);
            cellSizes.clear();
            for (int r = blockStart; r < blockStart + kRowBlock && r <= count; ++r) {
                const ExportSource::Row *row = &header;
                if (r > 0) {
                    if (!source.take(before + r, cells))
                        return QStringLiteral("cancelled");
                    row = &cells;
                }
                const qsizetype start = cellRecords.size();
                int lo = -1, hi = -1;
                for (int c = 0; c < kCols; ++c) {
                    const QString &text = (*row)[std::size_t(c)];
                    if (text.isEmpty())
                        continue;
                    lo = lo < 0 ? c : lo;
                    hi = c;
                    if (const auto number = r > 0 ? numericCell(text) : std::nullopt) {
                        appendNumber(cellRecords, r, c, xfOf(number->format), number->value);
                        continue;
                    }
                    appendLabelSst(cellRecords, r, c, sst.add(text));
                    ++textCells;
                }
                if (hi < 0)
                    continue;   // an empty row has no record at all
                appendRow(rows, r, lo, hi + 1);
                cellSizes.push_back(int(cellRecords.size() - start));
                body.cover(r, lo, hi);
            }
            if (cellSizes.empty())
                continue;
            // DBCELL: back to the first ROW, then for each row the distance to
            // its first cell, the first from the second ROW record, each
            // other from the previous row's first cell.
            Bytes db;
            db.u32(quint32(rows.size() + cellRecords.size()));
            db.u16(int(rows.size()) - 20);
            for (std::size_t i = 0; i + 1 < cellSizes.size(); ++i)
                db.u16(cellSizes[i]);
            pending += rows;
            pending += cellRecords;
            body.dbcells.push_back(quint32(bodyPos() - body.start));
            pending += record(rDBCELL, db);
            if (!flushBody(1 << 20))
                return scratchError();
        }
        // Only the first sheet is selected and shown.
        pending += record(rWINDOW2, Bytes().u16(sheet == 0 ? 0x06B6 : 0x00B6).u16(0).u16(0).u32(0x40)
                                        .u16(0).u16(0).u32(0));
        pending += record(rEOF, QByteArray());
        body.size = bodyPos() - body.start;
    }
    if (!flushBody(0) || !sst.finish(textCells))
        return scratchError();
    const quint64 prefixSize = quint64(globalsPrefix(std::vector<quint32>(std::size_t(sheets), 0), numberFormats).size());
    const QByteArray extsst = sst.extsst(prefixSize);
    if (extsst.size() > 4 + kMaxData)
        return kTooLarge;

    // 2. Where each sheet lands: after the globals, each led by its BOF, an
    //    INDEX of its DBCELLs, its settings and DIMENSIONS.
    const QByteArray eof = record(rEOF, QByteArray());
    const QByteArray head = sheetHead();
    quint64 at = prefixSize + sst.size() + quint64(extsst.size()) + quint64(eof.size());
    std::vector<quint32> offsets;
    std::vector<QByteArray> leads;
    for (const SheetBody &b : bodies) {
        offsets.push_back(quint32(at));
        const bool empty = b.lastRow < 0;
        const QByteArray dims = record(rDIMENSIONS, Bytes().u32(empty ? 0 : quint32(b.firstRow))
                                                       .u32(quint32(b.lastRow + 1)).u16(empty ? 0 : b.firstCol)
                                                       .u16(b.lastCol + 1).u16(0));
        const QByteArray sheetBof = bof(0x0010);
        const quint64 headAt = at + quint64(sheetBof.size()) + 4 + 16 + 4 * quint64(b.dbcells.size());
        const quint64 bodyAt = headAt + quint64(head.size()) + quint64(dims.size());
        Bytes index;
        index.u32(0).u32(empty ? 0 : quint32(b.firstRow)).u32(quint32(b.lastRow + 1));
        index.u32(quint32(headAt + quint64(head.size()) - kDefColWidthSize));
        for (quint32 d : b.dbcells)
            index.u32(quint32(bodyAt + d));
        leads.push_back(sheetBof + record(rINDEX, index) + head + dims);
        at = bodyAt + quint64(b.size);
    }
    // Stream offsets are 32-bit.
    if (at > 0xFFFFFFFFull)
        return kTooLarge;
    const QByteArray prefix = globalsPrefix(offsets, numberFormats);

    // 3. The stream into its container.
    const bool written = writeCompoundFile(out, QStringLiteral("Workbook"), at, [&](QIODevice &o) {
        if (!writeAll(o, prefix) || !copyAll(sstFile, 0, qint64(sst.size()), o) || !writeAll(o, extsst)
            || !writeAll(o, eof))
            return false;
        for (std::size_t i = 0; i < bodies.size(); ++i)
            if (!writeAll(o, leads[i]) || !copyAll(bodyFile, bodies[i].start, bodies[i].size, o))
                return false;
        return true;
    });
    if (written)
        return {};
    // A scratch file that could not be read back, else the output.
    for (QFile *f : {static_cast<QFile *>(&sstFile), static_cast<QFile *>(&bodyFile)})
        if (f->error() != QFileDevice::NoError)
            return f->errorString();
    return out.errorString();
}
