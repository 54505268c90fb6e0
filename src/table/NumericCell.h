#pragma once
#include <QString>

#include <optional>

// A table text that a spreadsheet can hold as a number: the value, and the
// number format (in the spreadsheet's format codes) under which the value
// reads exactly as the text did, so that a column of readings can be summed
// without looking any different.
struct NumericCell
{
    double value = 0;
    QString format;   // "0", "0.00", "0.00E+00", "\-0.0" ...
};

// The number that the WHOLE of `text` writes, in plain decimal ("25",
// "-12.5", "7.00") or in scientific form with one leading digit and a
// signed exponent ("1.06E-03"), with '.' as the decimal point whatever the
// locale. Nothing for every other text, and for the numbers that no format
// would show unchanged: a leading zero ("05"), a plus sign ("+7.00"), a bare
// point (".5", "7."), blanks, a small 'e', a mantissa of more than one digit
// before the point in scientific form ("10.5E+02"), more than 15 digits
// (a spreadsheet shows no more), or beyond a double's normal range.
// A negative zero ("-0.0") becomes 0 under a format that writes its minus
// sign as a literal: it sums and averages as the zero it is.
std::optional<NumericCell> numericCell(QStringView text);
