#pragma once
#include <QString>
#include <array>
#include <span>

// mol/L, mg/L and ppm of an ion from its pX reading. Pure arithmetic:
// `pX_mol_mg_ppm` feeds it the program-wide inputs and copies the results
// into the variables, the grid and the LCD.

struct IonResult {
    double molarMass, molValue, mgValue;    // MolarMass, MolValue, MgValue after the reading
    QString cells[4];                       // grid cells 3 (pX), 4 (mol), 5 (mg), 6 (ppm)
    QString lcdValue, lcdUnit, lcdExponent; // lblLCD 2, 3, 11 for MeasMode 5..8; the
                                            // exponent is empty except in mode 6
    bool lcdSet;                            // false for any other mode: leave the LCD alone
};

// One magnitude band of the mass display, listed from the largest lower
// bound down; a value belongs to the first band whose lower bound it reaches.
struct MassBand {
    double lowerBound;        // mg/L
    double massDivisor;       // shown mass = m / massDivisor
    const char16_t *massPattern;
    const char *massUnit;     // without the joining blank
    double ppmMultiplier;     // shown ppm figure = m * ppmMultiplier
    const char16_t *ppmPattern; // nullptr: beyond what the ppm display can show
    const char *ppmUnit;
};

extern const std::array<MassBand, 7> kMassDisplay;

// IonType 0..9 take the ion table's molar mass; the user's own ion (10) and
// the unnamed numbers keep `molarMassBefore`, the molar mass currently held.
IonResult ionConcentrations(double pxValue, int ionType, double molarMassBefore, int measMode);
