#include "report/ColumnStats.h"

#include "report/CellNumber.h"
#include "report/UnitTable.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// Columns that hold the row's number, date and time, never a quantity.
const QStringList kNotQuantities = {QStringLiteral("sn"), QStringLiteral("Date"), QStringLiteral("Time")};

// Unknown units get a group of their own, under a key no kind can have.
QString groupKey(const QString &unit, const UnitDef *def)
{
    return def ? def->kind.toString() : QLatin1Char('\x01') + unit;
}

} // namespace

ColumnStatsBuilder::ColumnStatsBuilder(const ExportSource::Row &header)
{
    for (int c = 0; c < int(header.size()); ++c)
        if (!kNotQuantities.contains(header[std::size_t(c)].trimmed()))
            columns_.append(Column{c, header[std::size_t(c)].trimmed(), {}, 0});
}

void ColumnStatsBuilder::add(const ExportSource::Row &row)
{
    for (Column &col : columns_) {
        const QString &cell = row[std::size_t(col.index)];
        const std::optional<CellNumber> number = readCellNumber(cell);
        if (!number) {
            if (!cell.trimmed().isEmpty())
                ++col.notNumbers;
            continue;
        }
        const UnitDef *def = findUnit(number->unit);
        const QString key = groupKey(number->unit, def);
        auto g = std::find_if(col.groups.begin(), col.groups.end(), [&](const Group &x) { return x.key == key; });
        if (g == col.groups.end()) {
            col.groups.append(Group{key, {}, 0, 0, 0, 0, 0});
            g = col.groups.end() - 1;
        }
        auto u = std::find_if(g->units.begin(), g->units.end(),
                              [&](const UnitSeen &x) { return x.unit == number->unit; });
        if (u == g->units.end()) {
            g->units.append(UnitSeen{number->unit, 0, 0, false});
            u = g->units.end() - 1;
        }
        ++u->count;
        u->decimals = std::max(u->decimals, number->decimals);
        u->scientific = u->scientific || number->scientific;

        // Welford's running mean and sum of squared deviations, in the
        // kind's base unit: stable where the spread is tiny against the mean.
        const double x = def ? number->value * def->scale + def->offset : number->value;
        ++g->n;
        const double delta = x - g->mean;
        g->mean += delta / double(g->n);
        g->m2 += delta * (x - g->mean);
        g->min = g->n == 1 ? x : std::min(g->min, x);
        g->max = g->n == 1 ? x : std::max(g->max, x);
    }
}

QList<ColumnStats> ColumnStatsBuilder::result() const
{
    QList<ColumnStats> out;
    for (const Column &col : columns_) {
        if (col.header.isEmpty() && col.groups.isEmpty())
            continue;
        ColumnStats cs{col.index, col.header, {}, col.notNumbers};
        for (const Group &g : col.groups) {
            // Shown in the unit most of its cells were written in (the first
            // such on a tie), with as many places as the finest cell needs.
            const UnitSeen &shown = *std::max_element(g.units.begin(), g.units.end(), [](const UnitSeen &a, const UnitSeen &b) {
                return a.count < b.count;
            });
            const UnitDef *to = findUnit(shown.unit);
            const double scale = to ? to->scale : 1, offset = to ? to->offset : 0;
            UnitStats s;
            s.unit = shown.unit;
            s.n = g.n;
            s.min = (g.min - offset) / scale;
            s.max = (g.max - offset) / scale;
            s.mean = (g.mean - offset) / scale;
            s.sd = g.n > 1 ? std::sqrt(g.m2 / double(g.n - 1)) / scale : std::numeric_limits<double>::quiet_NaN();
            for (const UnitSeen &u : g.units) {
                if (g.units.size() > 1)
                    s.from.append(u.unit);
                s.scientific = s.scientific || u.scientific;
                // A cell in uS/cm shown in mS/cm needs three places more.
                const UnitDef *from = findUnit(u.unit);
                const double ratio = from && to ? from->scale / to->scale : 1;
                const int places = u.scientific ? u.decimals : u.decimals + int(std::ceil(-std::log10(ratio) - 1e-9));
                s.decimals = std::max(s.decimals, std::clamp(places, 0, 12));
            }
            cs.units.append(s);
        }
        out.append(cs);
    }
    return out;
}

QList<ColumnStats> columnStats(const ExportSource &rows)
{
    if (rows.rows < 1)
        return {};
    ExportSource::Row cells;
    rows.read(0, cells);
    ColumnStatsBuilder builder(cells);
    for (int r = 1; r < rows.rows; ++r) {
        rows.take(r, cells);
        builder.add(cells);
    }
    return builder.result();
}
