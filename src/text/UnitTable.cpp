#include "text/UnitTable.h"

#include <array>

namespace {

// The units the meter's table cells carry (conductivity, resistivity, TDS,
// salinity, ion and oxygen concentrations, potentials, temperature), and
// their usual spellings with "µ" and "Ω" as other programs write them.
// Resistivity appears as "R.cm": R stands for ohm.
constexpr double kF = 5.0 / 9.0;
constexpr std::array kUnits = {
    UnitDef{u"S/cm", u"conductivity", 1, 0},
    UnitDef{u"mS/cm", u"conductivity", 1e-3, 0},
    UnitDef{u"uS/cm", u"conductivity", 1e-6, 0},
    UnitDef{u"µS/cm", u"conductivity", 1e-6, 0},
    UnitDef{u"S", u"conductance", 1, 0},
    UnitDef{u"mS", u"conductance", 1e-3, 0},
    UnitDef{u"uS", u"conductance", 1e-6, 0},
    UnitDef{u"µS", u"conductance", 1e-6, 0},
    UnitDef{u"R.cm", u"resistivity", 1, 0},
    UnitDef{u"KR.cm", u"resistivity", 1e3, 0},
    UnitDef{u"kR.cm", u"resistivity", 1e3, 0},
    UnitDef{u"MR.cm", u"resistivity", 1e6, 0},
    UnitDef{u"Ω.cm", u"resistivity", 1, 0},
    UnitDef{u"Ω·cm", u"resistivity", 1, 0},
    UnitDef{u"KΩ.cm", u"resistivity", 1e3, 0},
    UnitDef{u"kΩ.cm", u"resistivity", 1e3, 0},
    UnitDef{u"MΩ.cm", u"resistivity", 1e6, 0},
    UnitDef{u"Ω", u"resistance", 1, 0},
    UnitDef{u"KΩ", u"resistance", 1e3, 0},
    UnitDef{u"kΩ", u"resistance", 1e3, 0},
    UnitDef{u"MΩ", u"resistance", 1e6, 0},
    UnitDef{u"g/L", u"mass concentration", 1e3, 0},
    UnitDef{u"mg/L", u"mass concentration", 1, 0},
    UnitDef{u"ug/L", u"mass concentration", 1e-3, 0},
    UnitDef{u"µg/L", u"mass concentration", 1e-3, 0},
    UnitDef{u"ppt", u"parts", 1e3, 0},   // parts per thousand, as the meter means it
    UnitDef{u"ppm", u"parts", 1, 0},
    UnitDef{u"ppb", u"parts", 1e-3, 0},
    UnitDef{u"mol/L", u"amount concentration", 1, 0},
    UnitDef{u"mmol/L", u"amount concentration", 1e-3, 0},
    UnitDef{u"V", u"potential", 1, 0},
    UnitDef{u"mV", u"potential", 1e-3, 0},
    UnitDef{u"°C", u"temperature", 1, 0},
    UnitDef{u"°F", u"temperature", kF, -32 * kF},
    UnitDef{u"kPa", u"pressure", 1, 0},
    UnitDef{u"%", u"percent", 1, 0},
};

} // namespace

const UnitDef *findUnit(QStringView text)
{
    for (const UnitDef &u : kUnits)
        if (u.text == text)
            return &u;
    return nullptr;
}
