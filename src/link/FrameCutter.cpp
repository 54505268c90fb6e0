#include "link/FrameCutter.h"

namespace framecut {

std::optional<QString> takeFrame(QString &buffer)
{
    // A loop, not a call per stray ">": a read can hold a million of them.
    for (;;) {
        const qsizetype close = buffer.indexOf(QLatin1Char('>'));
        if (close < 0)
            return std::nullopt;
        const qsizetype open = buffer.lastIndexOf(QLatin1Char('<'), close);
        if (open >= 0) {
            QString content = buffer.mid(open + 1, close - open - 1);
            buffer.remove(0, close + 1);
            return content;
        }
        // A ">" with no frame before it: noise up to and including it.
        buffer.remove(0, close + 1);
    }
}

void trim(QString &buffer, int maxFrame)
{
    const qsizetype open = buffer.lastIndexOf(QLatin1Char('<'));
    if (open < 0) {
        buffer.clear();
        return;
    }
    if (open > 0)
        buffer.remove(0, open);
    if (buffer.size() - 1 > maxFrame)
        buffer.clear();
}

} // namespace framecut
