#include "link/TextForms.h"

#include "text/NumberFormat.h"
#include "text/Variant.h"

namespace textforms {

QString dateText(const Variant &month, const Variant &day)
{
    return Format(month.toDouble(), u"#0") + QLatin1Char('-') + Format(day.toDouble(), u"00");
}

QString timeText(const Variant &hour, const Variant &minute, int second)
{
    return Format(hour.toDouble(), u"#0") + QLatin1Char(':') + Format(minute.toDouble(), u"00")
        + QLatin1Char(':') + Format(second, u"00");
}

bool celsius(const Variant &tempUnit)
{
    return tempUnit == 1;
}

QString temperatureNumber(int tempTenths, const Variant &tempUnit)
{
    if (celsius(tempUnit))
        return Format(tempTenths / 10.0, u"#0.0");
    return Format(tempTenths * 0.18 + 32, u"#0.0");
}

const char16_t *decimalsPattern(int code)
{
    switch (code) {
    case 1: return u"#0.0";
    case 2: return u"#0.00";
    case 3: return u"#0.000";
    default: return u"#0";
    }
}

QString printable(QString text)
{
    for (QChar &c : text)
        if (c.unicode() < 0x20 || c.unicode() > 0x7E)
            c = QChar::ReplacementCharacter;
    return text;
}

} // namespace textforms
