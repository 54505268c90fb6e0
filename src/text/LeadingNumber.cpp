#include "text/LeadingNumber.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace {

bool digit(char16_t c)
{
    return c >= u'0' && c <= u'9';
}

// Where a number too large or too small for a double lands: its decimal
// order (the exponent plus the integer digits, less the zeros after the
// point before the first digit) says which way it went.
double outOfRange(std::string_view num, bool negative)
{
    long order = 0;
    bool seenNonZero = false, afterPoint = false;
    std::size_t i = 0;
    for (; i < num.size() && num[i] != 'e' && num[i] != 'E'; ++i) {
        const char c = num[i];
        if (c == '.') {
            afterPoint = true;
        } else if (c >= '1' || (c == '0' && seenNonZero)) {
            seenNonZero = true;
            order += afterPoint ? 0 : 1;
        } else if (afterPoint && !seenNonZero) {
            --order;
        }
    }
    long exponent = 0;
    if (i < num.size()) {
        const bool minus = num[i + 1] == '-';
        for (std::size_t j = i + 1 + (num[i + 1] == '-' || num[i + 1] == '+'); j < num.size(); ++j)
            exponent = std::min(exponent * 10 + (num[j] - '0'), 100000L);
        exponent = minus ? -exponent : exponent;
    }
    const double magnitude = order + exponent > 0 ? std::numeric_limits<double>::infinity() : 0.0;
    return negative ? -magnitude : magnitude;
}

} // namespace

double Val(QStringView text)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    auto at = [&](qsizetype k) { return k < n ? text[k].unicode() : char16_t(0); };
    while (i < n && (at(i) == u' ' || at(i) == u'\t'))
        ++i;
    // std::from_chars takes a '-' but no '+'.
    const bool negative = at(i) == u'-';
    if (at(i) == u'+' || at(i) == u'-')
        ++i;
    const qsizetype start = i;
    qsizetype mantissaDigits = 0;
    while (digit(at(i))) { ++i; ++mantissaDigits; }
    if (at(i) == u'.') {
        ++i;
        while (digit(at(i))) { ++i; ++mantissaDigits; }
    }
    if (mantissaDigits == 0)
        return 0;
    qsizetype end = i;
    if (at(i) == u'e' || at(i) == u'E') {
        qsizetype j = i + 1;
        if (at(j) == u'+' || at(j) == u'-')
            ++j;
        if (digit(at(j))) {
            while (digit(at(j)))
                ++j;
            end = j;
        }
    }
    // Only ASCII digits, '.', 'e' and the exponent's sign lie in [start, end).
    const QByteArray ascii = text.sliced(start, end - start).toLatin1();
    std::string_view num(ascii.constData(), std::size_t(ascii.size()));
    // The same digits whatever the user's language: from_chars knows only '.'.
    double value = 0;
    if (std::from_chars(num.data(), num.data() + num.size(), value).ec == std::errc::result_out_of_range)
        return outOfRange(num, negative);
    return negative ? -value : value;
}
