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
