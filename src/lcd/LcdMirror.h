#pragma once
#include "shell/Label.h"

#include <array>

// The data of the meter-display mirror: twelve fields (lblLCD 0..11) and the
// three circles around the calibration letters (Shape1 0..2). The two rules
// (Line1) are always shown and carry no data.
//   0 mode   1 date+time   2 value   3 unit   4 temperature   5 MTC   6 ATC
//   7/8/9 calibration L/M/H   10 record number   11 exponent of a mol/L value
struct LcdMirror
{
    std::array<Label, 12> lblLCD;
    std::array<bool, 3> Shape1{};   // visible
};
