#pragma once

// The measuring-mode codes 0..15 that live readings and stored records carry,
// with the caption the display mirror shows for each. Mode 0 writes none.
namespace measmode {

inline constexpr const char *kCaption[16] = {
    nullptr, "pH", "mV", "ORP", "EH", "ISE", "ISE", "ISE", "ISE",
    "COND", "RES", "TDS", "SAL", "DO", "DO", "DO"};

inline bool isPh(int m) { return m == 1; }
inline bool isPotential(int m) { return m >= 2 && m <= 4; }
inline bool isIon(int m) { return m >= 5 && m <= 8; }
inline bool isCond(int m) { return m >= 9 && m <= 12; }
inline bool isOxygen(int m) { return m >= 13 && m <= 15; }

} // namespace measmode
