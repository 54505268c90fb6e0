#pragma once
#include <array>

// The ions an ISE meter can be set to, indexed by the meter's ion number.
struct IonEntry {
    const char *name;   // symbol as the settings panel shows it
    double molarMass;   // g/mol
};

// Ion numbers 0..9 are fixed ions. Number 10 ("CUS") is the user's own ion:
// its molar mass is not known here but arrives with the ISE settings frame,
// so its entry holds 0 and must not be used as a molar mass. Ion numbers
// 11..15 can appear on the wire but name no ion and have no entry.
extern const std::array<IonEntry, 11> kIonTable;

inline constexpr int kCustomIonType = 10;
