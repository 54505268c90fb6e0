#include "link/FrameCutter.h"

namespace framecut {

std::optional<QString> takeFrame(QString &buffer)
{
    const qsizetype close = buffer.indexOf(QLatin1Char('>'));
    if (close < 0)
        return std::nullopt;
    const qsizetype open = buffer.lastIndexOf(QLatin1Char('<'), close);
    if (open < 0) {
        // A ">" with no frame before it: noise up to and including it.
        buffer.remove(0, close + 1);
        return takeFrame(buffer);
    }
    QString content = buffer.mid(open + 1, close - open - 1);
    buffer.remove(0, close + 1);
    return content;
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
