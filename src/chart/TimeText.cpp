#include "chart/TimeText.h"

#include "text/LeadingNumber.h"

#include <cmath>
#include <limits>

namespace {

// The meter's time is a whole number of seconds; a partial sum that is not
// (a piece like "7.5") rounds half to even, as the rounding to a 32-bit
// integer does.
std::optional<double> roundedSum(double sum)
{
    const double r = std::nearbyint(sum);   // default rounding mode: half to even
    if (!std::isfinite(r) || r < std::numeric_limits<qint32>::min() || r > std::numeric_limits<qint32>::max())
        return std::nullopt;
    return r;
}

} // namespace

std::optional<qint32> parseTimeText(QStringView text)
{
    // 1. Only the two lengths the decoders write.
    const qsizetype len = text.size();
    if (len != 7 && len != 8)
        return std::nullopt;
    // 2. The two colons.
    const qsizetype p1 = text.indexOf(u':');
    const qsizetype p2 = p1 < 0 ? -1 : text.indexOf(u':', p1 + 1);
    if (p2 < 0)
        return std::nullopt;
    // 3. Hours, minutes, seconds by their leading numbers.
    const double hours = Val(text.first(p1));
    const double minutes = Val(text.sliced(p1 + 1, p2 - p1 - 1));
    const double seconds = Val(text.sliced(p2 + 1));
    // 4. The sum, each partial sum rounded.
    auto s = roundedSum(hours * 3600);
    if (s)
        s = roundedSum(*s + minutes * 60);
    if (s)
        s = roundedSum(*s + seconds);
    if (!s)
        return std::nullopt;
    return qint32(*s);
}
