#include "text/FixedUnit.h"

#include "text/CellNumber.h"
#include "text/UnitTable.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <string>

namespace {

// The unit each kind of quantity goes out in. `caption` narrows a row to
// one column: salinity is counted in parts per thousand, the ion columns in
// parts per million. The first row that fits wins.
struct FixedUnitRow
{
    QStringView caption;   // empty: any column
    QStringView kind;      // as the unit table names it
    QStringView unit;
};
constexpr std::array kFixedUnits{
    FixedUnitRow{u"SAL", u"parts", u"ppt"},
    FixedUnitRow{u"", u"parts", u"ppm"},
    FixedUnitRow{u"", u"conductivity", u"µS/cm"},
    FixedUnitRow{u"", u"conductance", u"µS"},
    FixedUnitRow{u"", u"resistivity", u"Ω·cm"},
    FixedUnitRow{u"", u"resistance", u"Ω"},
    FixedUnitRow{u"", u"mass concentration", u"mg/L"},
    FixedUnitRow{u"", u"amount concentration", u"mol/L"},
    FixedUnitRow{u"", u"potential", u"mV"},
    FixedUnitRow{u"", u"temperature", u"°C"},
    FixedUnitRow{u"", u"pressure", u"kPa"},
    FixedUnitRow{u"", u"percent", u"%"},
};

// The unit of a column whose cells write none (`bare`: "7.01" in the pH
// column), and the one a column's quantity is given in where its cell shows
// no number at all ("----"). The oxygen column's bare number is the frame's
// concentration in mg/L, whichever unit the display puts beside it.
struct ColumnUnit
{
    QStringView caption;
    QStringView unit;
    bool bare;
};
constexpr std::array kColumnUnits{
    ColumnUnit{u"pH", u"pH", true},       ColumnUnit{u"mV", u"mV", true},
    ColumnUnit{u"pX", u"pX", true},       ColumnUnit{u"mol", u"mol/L", true},
    ColumnUnit{u"mg/ppm", u"mg/L", true}, ColumnUnit{u"%", u"%", true},
    ColumnUnit{u"COND", u"µS/cm", false}, ColumnUnit{u"RES", u"Ω·cm", false},
    ColumnUnit{u"TDS", u"mg/L", false},   ColumnUnit{u"SAL", u"ppt", false},
    ColumnUnit{u"mg", u"mg/L", false},    ColumnUnit{u"ppm", u"ppm", false},
    ColumnUnit{u"Temp", u"°C", false},
};

// A unit text that means something else in one column: the ion table's
// ppm column shows traces as its number times 1000 and calls them "ppt",
// which by the numbers are parts per billion.
struct ColumnAlias
{
    QStringView caption;
    QStringView written;
    QStringView means;
};
constexpr std::array kColumnAliases{
    ColumnAlias{u"ppm", u"ppt", u"ppb"},
};

// Column names for captions that are no identifiers.
struct AsciiName
{
    QStringView caption;
    QStringView name;
};
constexpr std::array kAsciiNames{
    AsciiName{u"mg/ppm", u"DO"},
    AsciiName{u"%", u"DO_sat"},
};

// Unit characters spelled out in column names; any other character that
// is no letter or digit becomes "_".
struct AsciiSpelling
{
    char16_t c;
    const char *ascii;
};
constexpr std::array kSpellings{
    AsciiSpelling{u'µ', "u"}, AsciiSpelling{u'Ω', "ohm"}, AsciiSpelling{u'°', "deg"}, AsciiSpelling{u'%', "pct"},
};

const ColumnUnit *columnUnit(QStringView caption)
{
    for (const ColumnUnit &c : kColumnUnits)
        if (c.caption == caption)
            return &c;
    return nullptr;
}

QStringView meaningOf(QStringView caption, QStringView unit)
{
    for (const ColumnAlias &a : kColumnAliases)
        if (a.caption == caption && a.written == unit)
            return a.means;
    return unit;
}

const FixedUnitRow *fixedRow(QStringView caption, QStringView kind)
{
    for (const FixedUnitRow &r : kFixedUnits)
        if (r.kind == kind && (r.caption.isEmpty() || r.caption == caption))
            return &r;
    return nullptr;
}

// x rounded to `places` decimals, as the decimal text of that reads.
double roundedTo(double x, int places)
{
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, x, std::chars_format::fixed, places);
    double out = x;
    std::from_chars(buf, r.ptr, out);
    return out;
}

QString ascii(QStringView text)
{
    QString out;
    for (QChar c : text) {
        const auto spelled = std::find_if(kSpellings.begin(), kSpellings.end(), [c](const AsciiSpelling &s) { return s.c == c; });
        if (spelled != kSpellings.end())
            out += QLatin1String(spelled->ascii);
        else if ((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9'))
            out += c;
        else
            out += u'_';
    }
    return out;
}

} // namespace

std::optional<double> shiftedDecimal(QStringView text, int shift)
{
    text = text.trimmed();
    const qsizetype n = text.size();
    qsizetype i = 0;
    std::string number;
    if (i < n && (text[i] == u'+' || text[i] == u'-')) {
        if (text[i] == u'-')
            number += '-';
        ++i;
    }
    long long exponent = shift;
    int digits = 0;
    bool point = false;
    for (; i < n; ++i) {
        const QChar c = text[i];
        if (c >= u'0' && c <= u'9') {
            number += char(c.unicode());
            ++digits;
            exponent -= point ? 1 : 0;
        } else if (c == u'.' && !point) {
            point = true;
        } else {
            break;
        }
    }
    if (digits == 0)
        return std::nullopt;
    if (i < n && (text[i] == u'e' || text[i] == u'E')) {
        const QByteArray rest = text.sliced(i + 1).toLatin1();
        const char *b = rest.constData() + (rest.startsWith('+') ? 1 : 0);
        long long e = 0;
        const auto r = std::from_chars(b, rest.constData() + rest.size(), e);
        if (r.ec != std::errc() || r.ptr != rest.constData() + rest.size() || b == r.ptr)
            return std::nullopt;
        exponent += e;
    } else if (i != n) {
        return std::nullopt;
    }
    number += 'e';
    number += std::to_string(exponent);
    double v = 0;
    const auto r = std::from_chars(number.data(), number.data() + number.size(), v);
    if (r.ec != std::errc() || !std::isfinite(v))
        return std::nullopt;
    return v;
}

QString fixedUnitOf(QStringView caption, QStringView unit)
{
    const UnitDef *def = findUnit(meaningOf(caption, unit));
    const FixedUnitRow *row = def ? fixedRow(caption, def->kind) : nullptr;
    return row ? row->unit.toString() : unit.toString();
}

FixedQuantity fixedQuantity(QStringView caption, QStringView cell)
{
    FixedQuantity q;
    q.name = caption.toString();
    q.shown = cell.toString();
    const ColumnUnit *column = columnUnit(caption);
    const std::optional<CellNumber> n = readCellNumber(cell);
    if (!n) {
        if (column)
            q.unit = column->unit.toString();
        return q;
    }
    QStringView from = n->unit;
    if (from.isEmpty() && column && column->bare)
        from = column->unit;
    q.written = from.toString();
    from = meaningOf(caption, from);
    q.unit = from.toString();
    q.number = shiftedDecimal(n->text, 0);
    q.decimals = n->decimals;
    q.scientific = n->scientific;
    const UnitDef *def = findUnit(from);
    const FixedUnitRow *row = def ? fixedRow(caption, def->kind) : nullptr;
    const UnitDef *to = row ? findUnit(row->unit) : nullptr;
    if (!q.number || !to || to == def)
        return q;
    if (def->offset == 0 && to->offset == 0) {
        const double ratio = def->scale / to->scale;
        const int shift = int(std::lround(std::log10(ratio)));
        if (std::abs(ratio / std::pow(10.0, shift) - 1) > 1e-9)
            return q;   // not a power of ten: the cell's own unit stays
        q.number = shiftedDecimal(n->text, shift);
        q.decimals = n->scientific ? n->decimals : std::max(0, n->decimals - shift);
    } else {
        // Fahrenheit to Celsius, one place finer than the cell: a tenth of
        // a degree Fahrenheit is 0.056 °C.
        const double base = *q.number * def->scale + def->offset;
        q.decimals = n->decimals + 1;
        q.number = roundedTo((base - to->offset) / to->scale, q.decimals);
    }
    q.unit = row->unit.toString();
    return q;
}

QString asciiColumnName(QStringView caption, QStringView unit)
{
    QString name;
    for (const AsciiName &a : kAsciiNames)
        if (a.caption == caption)
            name = a.name.toString();
    if (name.isEmpty())
        name = ascii(caption);
    const QString u = ascii(unit);
    return u.isEmpty() || u == name ? name : name + u'_' + u;
}
