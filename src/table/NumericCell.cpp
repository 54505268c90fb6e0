#include "table/NumericCell.h"

#include <charconv>
#include <cmath>

namespace {

constexpr int kMaxDigits = 15;           // a spreadsheet shows no more significant digits
constexpr int kMaxExponentDigits = 3;

bool asciiDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

// The run of digits at `i`, stepped over; its length.
int digitsAt(QStringView s, qsizetype &i)
{
    const qsizetype start = i;
    while (i < s.size() && asciiDigit(s[i]))
        ++i;
    return int(i - start);
}

} // namespace

std::optional<NumericCell> numericCell(QStringView text)
{
    // 1. Take the text apart: [-] digits [. digits] [E sign digits], and
    //    nothing else before, between or after.
    qsizetype i = 0;
    const bool negative = i < text.size() && text[i] == u'-';
    i += negative;
    const qsizetype intStart = i;
    const int intDigits = digitsAt(text, i);
    int fracDigits = -1;   // -1: no point
    if (i < text.size() && text[i] == u'.') {
        ++i;
        fracDigits = digitsAt(text, i);
    }
    const bool scientific = i < text.size() && text[i] == u'E';
    QChar expSign;
    int expDigits = 0;
    qsizetype expStart = 0;
    if (scientific) {
        if (++i < text.size())
            expSign = text[i++];
        expStart = i;
        expDigits = digitsAt(text, i);
    }
    if (i != text.size())
        return {};

    // 2. Only the forms that a format writes back unchanged: a digit on
    //    each side of a point, no leading zero, at most 15 digits, and in
    //    scientific form one digit before the point and a signed exponent.
    const bool leadingZero = intDigits > 0 && text[intStart] == u'0';
    if (intDigits == 0 || fracDigits == 0 || (leadingZero && intDigits > 1)
        || intDigits + qMax(fracDigits, 0) > kMaxDigits)
        return {};
    if (scientific
        && (intDigits != 1 || (expSign != u'+' && expSign != u'-') || expDigits == 0 || expDigits > kMaxExponentDigits))
        return {};

    // 3. The value, rounded correctly and without the locale's say.
    const QByteArray ascii = text.toLatin1();
    double value = 0;
    const auto [end, ec] = std::from_chars(ascii.constData(), ascii.constData() + ascii.size(), value);
    if (ec != std::errc() || end != ascii.constData() + ascii.size() || (value != 0 && !std::isnormal(value)))
        return {};
    if (scientific) {
        // A format normalises the mantissa to one digit from 1 to 9, shows
        // zero only as 0...E+00, and an exponent of 0 always with '+'.
        const bool zeroExponent = text.sliced(expStart).count(u'0') == expDigits;
        if ((leadingZero && (value != 0 || !zeroExponent)) || (zeroExponent && expSign != u'+'))
            return {};
    }

    // 4. The format: as many places and exponent digits as the text has.
    NumericCell cell;
    cell.value = value;
    cell.format = QStringLiteral("0");
    if (fracDigits > 0)
        cell.format += u'.' + QString(fracDigits, u'0');
    if (scientific)
        cell.format += QStringLiteral("E+") + QString(expDigits, u'0');
    if (negative && value == 0) {
        cell.value = 0;   // not -0: readers differ on it
        cell.format.prepend(QStringLiteral("\\-"));
    }
    return cell;
}
