#pragma once
#include <QByteArray>
#include <QIODevice>

// Writes all of `data`, going on after a short write: on a full disk the
// first write only comes up short, and only the next one fails and says
// why. Meant for files opened unbuffered, so that every failure shows here
// with its reason and none is left for a flush at close.
inline bool writeAll(QIODevice &out, const char *data, qint64 size)
{
    while (size > 0) {
        const qint64 n = out.write(data, size);
        if (n <= 0)
            return false;
        data += n;
        size -= n;
    }
    return true;
}

inline bool writeAll(QIODevice &out, const QByteArray &data)
{
    return writeAll(out, data.constData(), data.size());
}

// Copies `size` bytes of `from`, starting at `start`, into `out` a megabyte
// at a time: scratch files are read back into the file being written.
inline bool copyAll(QIODevice &from, qint64 start, qint64 size, QIODevice &out)
{
    if (!from.seek(start))
        return false;
    while (size > 0) {
        const QByteArray chunk = from.read(qMin<qint64>(size, 1 << 20));
        if (chunk.isEmpty() || !writeAll(out, chunk))
            return false;
        size -= chunk.size();
    }
    return true;
}
