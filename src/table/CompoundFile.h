#pragma once
#include <QIODevice>
#include <QString>
#include <functional>

// Writes a compound document (the container of Excel 97-2003 workbooks)
// holding one stream, `streamName`, of `streamSize` bytes (under 4 GiB: the
// sizes are 32-bit in this version of the format). `writeStream`
// must write exactly those bytes to the device it is given, in order; the
// stream is padded to at least 4096 bytes so that no mini stream is needed,
// and documents with more than 109 allocation-table sectors get DIFAT
// sectors. False when the device refused a write.
bool writeCompoundFile(QIODevice &out, const QString &streamName, quint64 streamSize,
                       const std::function<bool(QIODevice &)> &writeStream);
