#pragma once
#include "shell/Label.h"

#include <array>

// The chart's fixed decorations: the axis lines with their ticks and the
// labels beside them. They are controls laid out once and only shown,
// hidden or re-captioned.
struct ChartDecorations
{
    std::array<Label, 6> lblY;    // value-axis labels
    std::array<Label, 8> lblX;    // time-axis labels
    std::array<Label, 6> LblN;    // temperature-axis labels
    std::array<bool, 5> LineY{};  // value axis and ticks, visible
    std::array<bool, 6> LineX{};  // time axis and ticks
    std::array<bool, 5> LineN{};  // temperature axis and ticks

    void clear()
    {
        for (auto &l : lblY) l.Caption.clear();
        for (auto &l : lblX) l.Caption.clear();
        for (auto &l : LblN) l.Caption.clear();
        LineY.fill(false);
        LineX.fill(false);
        LineN.fill(false);
    }
};
