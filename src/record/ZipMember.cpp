#include "record/ZipMember.h"

#include <QFile>
#include <QtEndian>

#include <zlib.h>

namespace {

template <typename T> T at(const QByteArray &b, qsizetype i)
{
    return qFromLittleEndian<T>(b.constData() + i);
}

constexpr qint64 kMaxMember = 64 << 20;   // document properties are small; a bomb is not read

// The zip64 extra field's values replace, in order, those of the header
// that read all ones.
void zip64Values(const QByteArray &extra, quint64 &size, quint64 &compressed, quint64 &offset)
{
    for (qsizetype i = 0; i + 4 <= extra.size();) {
        const quint16 id = at<quint16>(extra, i), len = at<quint16>(extra, i + 2);
        if (id == 1) {
            qsizetype p = i + 4;
            for (quint64 *v : {&size, &compressed, &offset})
                if (*v == 0xFFFFFFFFu && p + 8 <= i + 4 + len) {
                    *v = at<quint64>(extra, p);
                    p += 8;
                }
            return;
        }
        i += 4 + len;
    }
}

} // namespace

bool readZipMember(const QString &zipPath, const QString &name, QByteArray &out, QString &error)
{
    QFile f(zipPath);
    if (!f.open(QIODevice::ReadOnly)) {
        error = f.errorString();
        return false;
    }
    const auto bad = [&](const char *why) {
        error = QStringLiteral("%1 is not a zip file that can be read (%2)").arg(zipPath, QLatin1String(why));
        return false;
    };
    // 1. The end of the central directory, in the last 64 KiB + 22 bytes.
    const qint64 size = f.size();
    const qint64 tailFrom = qMax<qint64>(0, size - 65557);
    f.seek(tailFrom);
    const QByteArray tail = f.read(size - tailFrom);
    const qsizetype eocd = tail.lastIndexOf(QByteArrayView("PK\x05\x06", 4));
    if (eocd < 0 || eocd + 22 > tail.size())
        return bad("no central directory");
    quint64 cdSize = at<quint32>(tail, eocd + 12), cdOffset = at<quint32>(tail, eocd + 16);
    if (cdOffset == 0xFFFFFFFFu || cdSize == 0xFFFFFFFFu) {
        // Zip64: the locator just before points at the zip64 end record.
        if (eocd < 20 || at<quint32>(tail, eocd - 20) != 0x07064b50)
            return bad("no zip64 locator");
        f.seek(qint64(at<quint64>(tail, eocd - 20 + 8)));
        const QByteArray rec = f.read(56);
        if (rec.size() < 56 || at<quint32>(rec, 0) != 0x06064b50)
            return bad("no zip64 end record");
        cdSize = at<quint64>(rec, 40);
        cdOffset = at<quint64>(rec, 48);
    }
    if (cdSize > quint64(kMaxMember) || cdOffset + cdSize > quint64(size))
        return bad("central directory out of bounds");
    f.seek(qint64(cdOffset));
    const QByteArray cd = f.read(qint64(cdSize));

    // 2. The member's header in the directory.
    const QByteArray wanted = name.toUtf8();
    for (qsizetype i = 0; i + 46 <= cd.size();) {
        if (at<quint32>(cd, i) != 0x02014b50)
            return bad("damaged central directory");
        const quint16 method = at<quint16>(cd, i + 10);
        quint64 compressed = at<quint32>(cd, i + 20), plain = at<quint32>(cd, i + 24);
        const quint16 nameLen = at<quint16>(cd, i + 28), extraLen = at<quint16>(cd, i + 30),
                      commentLen = at<quint16>(cd, i + 32);
        quint64 offset = at<quint32>(cd, i + 42);
        if (cd.mid(i + 46, nameLen) != wanted) {
            i += 46 + nameLen + extraLen + commentLen;
            continue;
        }
        zip64Values(cd.mid(i + 46 + nameLen, extraLen), plain, compressed, offset);
        if (plain > quint64(kMaxMember) || compressed > quint64(kMaxMember))
            return bad("member too large");
        // 3. Its data, after the local header's own name and extra field.
        f.seek(qint64(offset));
        const QByteArray local = f.read(30);
        if (local.size() < 30 || at<quint32>(local, 0) != 0x04034b50)
            return bad("damaged local header");
        f.seek(qint64(offset) + 30 + at<quint16>(local, 26) + at<quint16>(local, 28));
        const QByteArray data = f.read(qint64(compressed));
        if (quint64(data.size()) != compressed)
            return bad("cut short");
        if (method == 0) {
            out = data;
            return true;
        }
        if (method != 8)
            return bad("unknown compression");
        out.resize(qsizetype(plain));
        z_stream z{};
        if (inflateInit2(&z, -MAX_WBITS) != Z_OK)
            return bad("zlib");
        z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data.constData()));
        z.avail_in = uInt(data.size());
        z.next_out = reinterpret_cast<Bytef *>(out.data());
        z.avail_out = uInt(out.size());
        const int rc = inflate(&z, Z_FINISH);
        inflateEnd(&z);
        if (rc != Z_STREAM_END || z.total_out != plain)
            return bad("damaged member");
        return true;
    }
    error = QStringLiteral("%1 holds no %2").arg(zipPath, name);
    return false;
}
