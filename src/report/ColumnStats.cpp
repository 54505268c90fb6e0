#include "report/ColumnStats.h"

#include "text/FixedUnit.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// Columns that hold the row's number, date and time, never a quantity.
const QStringList kNotQuantities = {QStringLiteral("sn"), QStringLiteral("Date"), QStringLiteral("Time")};

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
        // In the quantity's fixed unit, as every number that leaves as data:
        // units that do not convert into it keep groups of their own.
        const FixedQuantity q = fixedQuantity(col.header, cell);
        if (!q.number) {
            if (!cell.trimmed().isEmpty())
                ++col.notNumbers;
            continue;
        }
        auto g = std::find_if(col.groups.begin(), col.groups.end(), [&](const Group &x) { return x.key == q.unit; });
        if (g == col.groups.end()) {
            col.groups.append(Group{q.unit, {}, 0, 0, 0, 0, 0});
            g = col.groups.end() - 1;
        }
        auto u = std::find_if(g->units.begin(), g->units.end(), [&](const UnitSeen &x) { return x.unit == q.written; });
        if (u == g->units.end()) {
            g->units.append(UnitSeen{q.written, 0, 0, false});
            u = g->units.end() - 1;
        }
        ++u->count;
        u->decimals = std::max(u->decimals, q.decimals);
        u->scientific = u->scientific || q.scientific;

        // Welford's running mean and sum of squared deviations: stable
        // where the spread is tiny against the mean.
        const double x = *q.number;
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
            UnitStats s;
            s.unit = g.key;
            s.n = g.n;
            s.min = g.min;
            s.max = g.max;
            s.mean = g.mean;
            s.sd = g.n > 1 ? std::sqrt(g.m2 / double(g.n - 1)) : std::numeric_limits<double>::quiet_NaN();
            const bool converted = g.units.size() > 1 || g.units.first().unit != g.key;
            for (const UnitSeen &u : g.units) {
                if (converted)
                    s.from.append(u.unit);
                s.scientific = s.scientific || u.scientific;
                s.decimals = std::max(s.decimals, std::clamp(u.decimals, 0, 12));
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
