#include "chart/ChartMapping.h"

#include <array>
#include <cmath>

namespace chartmap {

namespace {

bool isFamily(double family) { return family >= 0 && family <= 4 && family == std::floor(family); }

constexpr std::array<ValueMap, 5> kValueMap{ValueMap::Plain, ValueMap::Potential, ValueMap::Ion, ValueMap::Cond,
                                            ValueMap::Plain};
constexpr std::array<int, 5> kTempColumn{4, 4, 7, 7, 6};

} // namespace

ValueMap valueMapForFamily(double family)
{
    return isFamily(family) ? kValueMap[std::size_t(family)] : ValueMap::Plain;
}

int chartTempColumn(double family)
{
    return isFamily(family) ? kTempColumn[std::size_t(family)] : 0;
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
