#pragma once
#include <QStringView>
#include <QtGlobal>

#include <optional>

// Seconds since midnight from a Time cell ("9:05:07", "13:40:00"), or nothing
// when the text is not a time text: only 7 or 8 characters with two colons
// are read. Each piece counts by its leading number (0 when it has none), so
// "9:0x:07" still reads; a sum that does not fit 32 bits is refused too.
std::optional<qint32> parseTimeText(QStringView text);
