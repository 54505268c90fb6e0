#pragma once
#include <QtGlobal>
#include <array>

// Temperature coefficient of a typical electrolyte's conductivity, one entry
// per whole degree Celsius from 0 °C (index 0) to 50 °C (index 50), in
// thousandths of a percent per degree (2118 = 2.118 %/°C). The salinity
// correction picks the entry for the sample temperature; the figures are
// measured ones, which is why the steps are not perfectly even
// (entries 11 and 12 are 2211 and 2213).
extern const std::array<qint16, 51> kTempCoefValues;
