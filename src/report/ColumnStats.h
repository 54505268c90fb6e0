#pragma once
#include "table/ExportSource.h"

#include <QList>
#include <QString>
#include <QStringList>

// The statistics of the numbers of one column in one unit: the quantity's
// fixed unit (text/FixedUnit), as everything that leaves as data gives it.
struct UnitStats
{
    QString unit;        // the unit they are shown in; empty: numbers without a unit
    QStringList from;    // the units the cells were written in, where they differ from `unit`
    qint64 n = 0;
    double min = 0, max = 0, mean = 0;
    double sd = 0;       // sample standard deviation (n - 1); NaN below two numbers
    int decimals = 0;    // places after the point that a cell in `unit` would show
    bool scientific = false;   // the cells are written with an exponent
};

// One quantity column: its numbers in its fixed unit, or, where its cells
// carry units that do not convert into one another exactly (mg/L and ppm),
// one entry per unit.
struct ColumnStats
{
    int column = 0;
    QString header;
    QList<UnitStats> units;   // empty when the column holds no number
    qint64 notNumbers = 0;    // cells with a text that is not a number ("----")
};

// Gathers the statistics row by row, so that a recording of any length is
// read once and never held. Columns "sn", "Date" and "Time" are no
// quantities; a column without a heading counts only when it holds numbers.
class ColumnStatsBuilder
{
public:
    explicit ColumnStatsBuilder(const ExportSource::Row &header);
    void add(const ExportSource::Row &row);
    QList<ColumnStats> result() const;

private:
    struct UnitSeen
    {
        QString unit;
        qint64 count = 0;
        int decimals = 0;
        bool scientific = false;
    };
    // Numbers in one fixed unit.
    struct Group
    {
        QString key;
        QList<UnitSeen> units;
        qint64 n = 0;
        double mean = 0, m2 = 0, min = 0, max = 0;
    };
    struct Column
    {
        int index = 0;
        QString header;
        QList<Group> groups;
        qint64 notNumbers = 0;
    };
    QList<Column> columns_;
};

// The statistics of every quantity column of `rows` (row 0 the header).
QList<ColumnStats> columnStats(const ExportSource &rows);
