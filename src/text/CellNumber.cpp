#include "text/CellNumber.h"

#include "text/LeadingNumber.h"

namespace {

bool isDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

// The unit text without its compensation mark: "°C(ATC)" -> "°C".
QString bareUnit(QStringView rest)
{
    QStringView unit = rest.trimmed();
    if (unit.endsWith(u')')) {
        const qsizetype open = unit.lastIndexOf(u'(');
        if (open > 0)
            unit = unit.first(open).trimmed();
    }
    return unit.toString();
}

} // namespace

std::optional<CellNumber> readCellNumber(QStringView cell)
{
    // 1. Where the number stands: blanks, a sign, digits with at most one
    // decimal point, then an exponent, which must be complete when begun.
    qsizetype i = 0;
    const qsizetype n = cell.size();
    while (i < n && (cell[i] == u' ' || cell[i] == u'\t'))
        ++i;
    const qsizetype start = i;
    if (i < n && (cell[i] == u'+' || cell[i] == u'-'))
        ++i;
    int digits = 0, fraction = 0;
    while (i < n && isDigit(cell[i])) { ++i; ++digits; }
    if (i < n && cell[i] == u'.') {
        ++i;
        while (i < n && isDigit(cell[i])) { ++i; ++digits; ++fraction; }
    }
    if (digits == 0)
        return std::nullopt;
    bool scientific = false;
    if (i < n && (cell[i] == u'e' || cell[i] == u'E')) {
        qsizetype j = i + 1;
        if (j < n && (cell[j] == u'+' || cell[j] == u'-'))
            ++j;
        const qsizetype expDigits = j;
        while (j < n && isDigit(cell[j]))
            ++j;
        if (j == expDigits)
            return std::nullopt;   // "1.00E-": a number cut short
        scientific = true;
        i = j;
    }

    // 2. What follows is a unit or nothing: a date, a time or a second
    // decimal point goes on with digits or punctuation that no unit has.
    const QStringView rest = cell.sliced(i);
    if (!rest.isEmpty()) {
        const QChar first = rest.front();
        if (first == u'.' || first == u':' || first == u'-' || first == u'+' || first == u',')
            return std::nullopt;
        for (QChar c : rest)
            if (isDigit(c))
                return std::nullopt;
    }

    // 3. The value as the rest of the program reads it.
    CellNumber number;
    number.value = Val(cell.sliced(start));
    number.text = cell.sliced(start, i - start).toString();
    number.unit = bareUnit(rest);
    number.decimals = fraction;
    number.scientific = scientific;
    return number;
}
