#pragma once
#include <array>

// The five column layouts of the data table, one per meter family, with the
// chart scales that go with them (chart units per unit of the main value and
// per degree Celsius; the plot is 6000 units high).
namespace gridlayout {

struct Layout
{
    const char16_t *format;          // header: "|" separates, "^" centres
    std::array<int, 8> widths;       // twips, column 0 first; 0 = left as is
    int widthCount;
    double valueScale;
    double tempScale;
};

inline const std::array<Layout, 5> kLayouts{{
    {u"^sn|^Date|^Time|^pH|^Temp", {1000, 1200, 1500, 2500, 2500}, 5, 6000.0 / 14, 6000.0 / 100},
    {u"^sn|^Date|^Time|^mV|^Temp", {800, 1000, 1200, 1800, 1800}, 5, 6000.0 / 4000, 6000.0 / 100},
    {u"^sn|^Date|^Time|^pX|^mol|^mg|^ppm|^Temp", {1000, 1000, 1200, 1000, 1200, 1500, 1500, 1500}, 8,
     6000.0 / 8, 6000.0 / 100},
    {u"^sn|^Date|^Time|^COND|^RES|^TDS|^SAL|^Temp", {1000, 1000, 1200, 1500, 1400, 1200, 1200, 1500}, 8,
     6000.0 / 2000, 6000.0 / 50},
    {u"^sn|^Date|^Time|^mg/ppm|^%|^SAL|^Temp", {800, 1000, 1200, 1200, 1500, 1500, 1800, 1500}, 8,
     6000.0 / 20, 6000.0 / 50},
}};

// The column each layout keeps the temperature in.
inline constexpr std::array<int, 5> kTemperatureColumn{4, 4, 7, 7, 6};

// The temperature column of meter family `family`, or -1 for a family that
// has no layout (each caller knows what such a family gets).
inline int temperatureColumn(double family)
{
    const bool known = family >= 0 && family <= 4 && family == double(int(family));
    return known ? kTemperatureColumn[std::size_t(family)] : -1;
}

inline constexpr int kCondFamily = 3;
inline constexpr int kDefaultCondRange = 2;   // "2000uS"

} // namespace gridlayout
