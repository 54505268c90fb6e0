#include "text/NumberFormat.h"

#include <charconv>
#include <cmath>
#include <cstring>

namespace {

// The 15 significant digits of |v| and the decimal exponent of the first one:
// |v| = d0.d1d2...d14 x 10^exp10.
struct Decimal15 {
    char digits[16];
    int exp10;
};

Decimal15 decimal15(double a)
{
    // "d.dddddddddddddde+XX", correctly rounded as printf("%.14e") would,
    // but with a '.' whatever the user's language (only the digits are
    // taken, yet nothing here should lean on the locale).
    Decimal15 d{};
    char buf[40];
    const char *end = std::to_chars(buf, buf + sizeof buf, a, std::chars_format::scientific, 14).ptr;
    int n = 0;
    const char *p = buf;
    for (; p != end && *p != 'e'; ++p)
        if (*p >= '0' && *p <= '9')
            d.digits[n++] = *p;
    d.digits[n] = 0;
    if (p != end) {
        const bool minus = p[1] == '-';
        int exp10 = 0;
        std::from_chars(p + 2, end, exp10);   // the sign is always written
        d.exp10 = minus ? -exp10 : exp10;
    }
    return d;
}

// Rounds the digit string so that `keep` digits remain (half away from zero).
// Returns the kept digits (possibly one longer after a carry, e.g. "999" -> "1000").
QByteArray roundDigits(const Decimal15 &d, int keep, bool *carried)
{
    *carried = false;
    const int len = int(std::strlen(d.digits));
    if (keep < 0)
        return QByteArray();
    QByteArray kept(d.digits, qMin(keep, len));
    while (kept.size() < keep)
        kept.append('0');
    const bool up = keep < len && d.digits[keep] >= '5';
    if (!up)
        return kept;
    int i = kept.size() - 1;
    for (; i >= 0; --i) {
        if (kept[i] == '9') {
            kept[i] = '0';
        } else {
            kept[i] = char(kept[i] + 1);
            break;
        }
    }
    if (i < 0) {
        kept.prepend('1');
        *carried = true;
    }
    return kept;
}

QString fixed(double v, int minInt, int decimals)
{
    const bool negative = v < 0;
    const double a = std::fabs(v);
    QByteArray intPart, fracPart;
    if (a == 0) {
        intPart = "0";
        fracPart = QByteArray(decimals, '0');
    } else {
        const Decimal15 d = decimal15(a);
        // Digits before the point: exp10 + 1; we keep those plus `decimals`.
        const int intDigits = d.exp10 + 1;
        const int keep = intDigits + decimals;
        bool carried = false;
        const QByteArray kept = roundDigits(d, keep, &carried);
        const int intLen = intDigits + (carried ? 1 : 0);
        if (keep < 0) {
            // Too small to reach even the last shown decimal.
            intPart = "0";
            fracPart = QByteArray(decimals, '0');
        } else if (intLen <= 0) {
            intPart = "0";
            fracPart = QByteArray(-intLen, '0') + kept;
        } else {
            intPart = kept.left(intLen);
            fracPart = kept.mid(intLen);
        }
    }
    while (intPart.size() < minInt)
        intPart.prepend('0');
    QString out;
    out.reserve(intPart.size() + fracPart.size() + 2);
    if (negative)
        out += QLatin1Char('-');
    out += QLatin1String(intPart);
    if (decimals > 0) {
        out += QLatin1Char('.');
        out += QLatin1String(fracPart);
    }
    return out;
}

QString scientific(double v, int expDigits)
{
    const bool negative = v < 0;
    const double a = std::fabs(v);
    QByteArray mant = "000";
    int exp10 = 0;
    if (a != 0) {
        const Decimal15 d = decimal15(a);
        bool carried = false;
        mant = roundDigits(d, 3, &carried);
        exp10 = d.exp10;
        if (carried) {   // 9.995 -> "1000": one more decade
            mant.chop(1);
            ++exp10;
        }
    }
    QString out;
    if (negative)
        out += QLatin1Char('-');
    out += QLatin1Char(mant[0]);
    out += QLatin1Char('.');
    out += QLatin1String(mant.mid(1, 2));
    out += QLatin1Char('E');
    out += exp10 < 0 ? QLatin1Char('-') : QLatin1Char('+');
    out += QString::number(std::abs(exp10)).rightJustified(expDigits, QLatin1Char('0'));
    return out;
}

} // namespace

QString Format(double value, QStringView pattern)
{
    if (!std::isfinite(value))
        return QString();
    if (const qsizetype e = pattern.indexOf(QLatin1Char('E')); e >= 0)   // exponent digits: its "0"s
        return scientific(value, qMax(1, int(pattern.sliced(e).count(QLatin1Char('0')))));
    const qsizetype dot = pattern.indexOf(QLatin1Char('.'));
    const QStringView intPat = dot < 0 ? pattern : pattern.left(dot);
    const int decimals = dot < 0 ? 0 : int(pattern.size() - dot - 1);
    const int minInt = int(intPat.count(QLatin1Char('0')));
    return fixed(value, qMax(minInt, 1), decimals);
}
