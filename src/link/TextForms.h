#pragma once
#include <QString>

class Variant;

// Text forms the reading decoders share.
namespace textforms {

// "3-07" from month 3, day 7.
QString dateText(const Variant &month, const Variant &day);
// "9:05:02".
QString timeText(const Variant &hour, const Variant &minute, int second);
// The temperature number alone: Celsius "#0.0" when tempUnit is 1, otherwise
// Fahrenheit (tenths x 0.18 + 32).
QString temperatureNumber(int tempTenths, const Variant &tempUnit);
bool celsius(const Variant &tempUnit);
// Number pattern for a decimals code: 1, 2, 3 -> "#0.0", "#0.00", "#0.000"; else "#0".
const char16_t *decimalsPattern(int code);

} // namespace textforms
