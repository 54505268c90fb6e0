#pragma once
#include <QString>
#include <QStringView>

#include <optional>

// What leaves the program as data (the store's row bodies, MQTT, the tidy
// exports, the report's statistics) gives every quantity in one fixed unit
// of its kind: a conductivity always in µS/cm, however the meter's range
// showed it, so that a column of numbers never jumps by a factor of 1000
// where the display changed its unit. The meter's own text goes beside it.

struct FixedQuantity
{
    QString name;                  // the column's caption ("COND")
    std::optional<double> number;  // in `unit`; none where the cell shows no number ("----")
    QString unit;                  // empty where it is not known
    QString shown;                 // the cell as the meter shows it
    QString written;               // the unit the cell is written in (or its column's)
    int decimals = 0;              // places a cell in `unit` would show for it
    bool scientific = false;       // written with an exponent ("1.06E-03")
};

// Cell `cell` of the column headed `caption` in its fixed unit. Converted
// only where that is exact: by a power of ten, moving the decimal point in
// the cell's text ("1.413 mS/cm" is exactly 1413 µS/cm), and °F to °C;
// a unit that converts to none of the fixed ones stays as the cell has it.
FixedQuantity fixedQuantity(QStringView caption, QStringView cell);

// The fixed unit that `unit`, written in `caption`'s column, goes out in
// ("mS/cm" -> "µS/cm"); `unit` itself where it has none.
QString fixedUnitOf(QStringView caption, QStringView unit);

// An ASCII column name for `caption`'s numbers in `unit`, for a data tool
// that wants identifiers: "COND_uS_cm", "Temp_degC", "RES_ohm_cm"; the
// caption alone where the unit says nothing more ("pH", "mV").
QString asciiColumnName(QStringView caption, QStringView unit);

// The decimal number `text` ("-1.413", "1.06E-03") times 10^shift, read
// once and exactly rounded: the decimal point moves in the text, nothing is
// multiplied. None when `text` is not a decimal number.
std::optional<double> shiftedDecimal(QStringView text, int shift);
