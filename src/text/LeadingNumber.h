#pragma once
#include <QStringView>

// The number a text begins with: the longest leading part that forms a
// decimal number ("." is the decimal point whatever the locale; an exponent
// such as "E-03" belongs to the number). Leading blanks are skipped; trailing
// units are ignored ("25.0°C(ATC)" -> 25, "1413 uS/cm" -> 1413). 0 when the
// text does not begin with a number.
double Val(QStringView text);
