#pragma once
#include "shell/Label.h"

#include <array>

// The seven caption/value rows of the settings panel (Picture2): row i is
// Label1(i) on the left, Label2(i) on the right and the rule Line2(i) under
// the value.
struct SettingsPanel
{
    std::array<Label, 7> Label1;
    std::array<Label, 7> Label2;
    std::array<bool, 7> Line2{};   // visible
};
