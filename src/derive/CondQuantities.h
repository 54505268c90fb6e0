#pragma once
#include <QString>
#include <QtGlobal>
#include <array>
#include <span>

// Conductivity, resistivity, TDS and salinity from one raw conductivity
// reading. Pure arithmetic: `Cond_RES_TDS_SAL` feeds it the program-wide
// inputs and copies the results into the variables, the grid and the LCD.

// One quantity as the grid cell and the LCD mirror show it.
struct DerivedText {
    QString cell;       // number, blank, unit ("1413 uS/cm")
    QString lcdValue;   // number only ("1.413")
    QString lcdUnit;    // unit without blank ("mS/cm")
};

// One magnitude band of a display table. A table lists its bands from the
// largest lower bound down; a value belongs to the first band whose lower
// bound it reaches, so a value exactly on a bound takes the band that starts
// there. The grid and the LCD may scale the same band differently (the
// conductivity table keeps uS/cm in the grid where the LCD shows mS/cm).
struct DisplayBand {
    double lowerBound;
    double cellDivisor;
    const char16_t *cellPattern;
    const char *cellUnit;   // without the blank that joins it to the number
    double lcdDivisor;
    const char16_t *lcdPattern;
    const char *lcdUnit;
};

extern const std::array<DisplayBand, 6> kCondDisplay;   // x = CondComp, uS/cm
extern const std::array<DisplayBand, 8> kResDisplay;    // x = ResValue, ohm cm
extern const std::array<DisplayBand, 6> kTdsDisplay;    // x = TdsValue, mg/L
extern const std::array<DisplayBand, 3> kSalDisplay;    // x = SalValue, 0.01 ppt

// Texts of x by the first band of `bands` that x reaches.
DerivedText displayText(std::span<const DisplayBand> bands, double x);

struct CondInputs {
    double condRaw;   // CondRaw: uS/cm at the sample temperature
    int tempTenths;   // TempTenths: sample temperature, 0.1 °C
    double condTref;  // CondTref: reference temperature, 0.1 °C
    int condCtc;      // CondCtc: compensation coefficient, 0.01 %/°C
};

struct CondResult {
    double condComp, resValue, tdsValue, salValue;   // CondComp, ResValue, TdsValue, SalValue
    DerivedText cond, res, tds, sal;                 // grid cells 3..6; LCD texts for modes 9..12
};

CondResult condQuantities(const CondInputs &in, const std::array<qint16, 51> &tempCoefTable);

// The coefficient-table entry for a sample temperature: whole degrees,
// halves to even, held inside 0..50 °C.
int tempCoefIndex(int tempTenths);
