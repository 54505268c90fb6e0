#pragma once
#include <QString>
#include <QStringView>

#include <optional>

// A table cell read as a quantity: the number it begins with and the unit
// text after it, with the unit's compensation mark dropped ("25.0°C(ATC)"
// is 25 in "°C"). `decimals` is how many digits the cell shows after the
// decimal point (of the mantissa when it is written with an exponent, as in
// "1.23E-04": then `scientific` is set).
struct CellNumber
{
    double value = 0;
    QString text;        // the number as the cell writes it ("1.413", "-1.06E-03")
    QString unit;
    int decimals = 0;
    bool scientific = false;
};

// The cell as a number, or nothing when it is not one: "----", an empty
// cell, a text, a date ("3-07") or a time ("9:05:02") are not numbers, and
// neither is a broken one ("1.00E-", "1.2.3"); a number counts only when it
// is complete and whatever follows it is a unit without digits.
std::optional<CellNumber> readCellNumber(QStringView cell);
