#include "chart/ChartMapping.h"

#include "table/GridLayouts.h"

#include <array>
#include <cmath>

namespace chartmap {

namespace {

bool isFamily(double family) { return family >= 0 && family <= 4 && family == std::floor(family); }

constexpr std::array<ValueMap, 5> kValueMap{ValueMap::Plain, ValueMap::Potential, ValueMap::Ion, ValueMap::Cond,
                                            ValueMap::Plain};

} // namespace

ValueMap valueMapForFamily(double family)
{
    return isFamily(family) ? kValueMap[std::size_t(family)] : ValueMap::Plain;
}

int chartTempColumn(double family)
{
    const int col = gridlayout::temperatureColumn(family);
    return col < 0 ? 0 : col;
}

double valueY(ValueMap map, double valueScale, double v, CondUnit unit)
{
    switch (map) {
    case ValueMap::Potential:
        return kMiddle - v * valueScale;
    case ValueMap::Ion:
        return kTop + v * valueScale;
    case ValueMap::Cond: {
        const double microS = unit == CondUnit::MilliS ? v * 1000 : unit == CondUnit::MicroS ? v : 0;
        return kBottom - microS * valueScale;
    }
    case ValueMap::Plain:
        break;
    }
    return kBottom - v * valueScale;
}

double tempY(TempMap map, double tempScale, double v, bool celsius)
{
    if (map == TempMap::CondRange)
        return celsius ? kBottom - v * 120 : kBottom - (v - 32) * 66.667;
    const double c = celsius ? v : (v - 32) / 1.8;
    return kBottom - c * tempScale;
}

} // namespace chartmap
