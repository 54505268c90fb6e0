#pragma once
#include <QString>
#include <QStringView>

// Turns a number into text with one of the program's digit patterns:
//   "#0"               whole number, at least one digit
//   "#0.0" .. "#0.000" at least one integer digit, exactly 1..3 decimals
//   "00"               at least two digits ("5" -> "05")
//   "0.00E+00"         three significant digits, signed exponent of >= 2 digits
//   "0.00E+#0"         the same with an exponent of as many digits as it needs
// Rounding is halves away from zero on the value as a person reads it, i.e.
// on its 15-significant-digit decimal form (2.675 -> "2.68", not the binary
// 2.67499999...). A negative value gets a leading "-". A value that is not a
// finite number gives an empty text: nothing on screen ever reads "nan".
QString Format(double value, QStringView pattern);
