#include "derive/CondQuantities.h"

#include "text/NumberFormat.h"

#include <cmath>
#include <limits>

namespace {

constexpr double kBelowAll = -std::numeric_limits<double>::infinity();
constexpr double kAboveAll = std::numeric_limits<double>::infinity();

// A quadratic fit a*k^2 + b*k + c, valid for k up to `upperBound`
// (inclusive or not). Fits are listed from the smallest k upward.
struct FitBand {
    double upperBound;
    bool upperInclusive;
    double a, b, c;
};

// TDS in mg/L from the conductivity at 25 °C in mS/cm.
constexpr std::array<FitBand, 4> kTdsFit = {{
    {1.417, true, 30.86, 662.7, -0.9},
    {3.9, false, 15.15, 724.9, -57.5},
    {10.0, false, 67.5, 130.8, 1464.0},
    {kAboveAll, false, 14.3, 445.2, 3642.0},
}};

// Salinity in 0.001 ppt from the conductivity at 18 °C in mS/cm.
constexpr std::array<FitBand, 3> kSalFit = {{
    {2.5, false, 13.8, 562.9, -2.17},
    {30.0, false, 3.24, 607.4, -47.4},
    {kAboveAll, false, 1.41, 655.9, -360.3},
}};

template<std::size_t N>
double evaluateFit(const std::array<FitBand, N> &fit, double k)
{
    const FitBand *band = &fit.back();
    for (const FitBand &f : fit) {
        if (k < f.upperBound || (f.upperInclusive && k == f.upperBound)) {
            band = &f;
            break;
        }
    }
    // Deliberately k*a*k + k*b + c rather than Horner's form: near a display
    // threshold the last bit decides which band a result falls into.
    return k * band->a * k + k * band->b + band->c;
}

double clampTo(double v, double lo, double hi)
{
    if (v > hi)
        return hi;
    if (v < lo)
        return lo;
    return v;
}

double roundHalfEven(double v)
{
    const double f = std::floor(v);
    const double diff = v - f;
    if (diff > 0.5)
        return f + 1;
    if (diff < 0.5)
        return f;
    return std::fmod(f, 2.0) == 0 ? f : f + 1;
}

} // namespace

const std::array<DisplayBand, 6> kCondDisplay = {{
    {200000, 1000, u"#0", "mS/cm", 1000, u"#0", "mS/cm"},
    {20000, 1000, u"#0.0", "mS/cm", 1000, u"#0.0", "mS/cm"},
    {2000, 1000, u"#0.00", "mS/cm", 1000, u"#0.00", "mS/cm"},
    // The grid keeps whole uS/cm here; the LCD already switches to mS/cm.
    {200, 1, u"#0", "uS/cm", 1000, u"#0.000", "mS/cm"},
    {20, 1, u"#0.0", "uS/cm", 1, u"#0.0", "uS/cm"},
    {kBelowAll, 1, u"#0.00", "uS/cm", 1, u"#0.00", "uS/cm"},
}};

const std::array<DisplayBand, 8> kResDisplay = {{
    {100000000, 1000000, u"#0", "MR.cm", 1000000, u"#0", "MR.cm"},
    {10000000, 1000000, u"#0.0", "MR.cm", 1000000, u"#0.0", "MR.cm"},
    {1000000, 1000000, u"#0.00", "MR.cm", 1000000, u"#0.00", "MR.cm"},
    {100000, 1000, u"#0", "KR.cm", 1000, u"#0", "KR.cm"},
    {10000, 1000, u"#0.0", "KR.cm", 1000, u"#0.0", "KR.cm"},
    {1000, 1000, u"#0.00", "KR.cm", 1000, u"#0.00", "KR.cm"},
    {100, 1, u"#0", "R.cm", 1, u"#0", "R.cm"},
    {kBelowAll, 1, u"#0.0", "R.cm", 1, u"#0.0", "R.cm"},
}};

const std::array<DisplayBand, 6> kTdsDisplay = {{
    // TdsValue is held at 100000, so the top band always reads "100 g/L".
    {100000, 1000, u"#0", "g/L", 1000, u"#0", "g/L"},
    {10000, 1000, u"#0.0", "g/L", 1000, u"#0.0", "g/L"},
    {1000, 1000, u"#0.00", "g/L", 1000, u"#0.00", "g/L"},
    {100, 1, u"#0", "mg/L", 1, u"#0", "mg/L"},
    {10, 1, u"#0.0", "mg/L", 1, u"#0.0", "mg/L"},
    {kBelowAll, 1, u"#0.00", "mg/L", 1, u"#0.00", "mg/L"},
}};

const std::array<DisplayBand, 3> kSalDisplay = {{
    // SalValue is held at 10000, so the top band always reads "100 ppt".
    {10000, 100, u"#0", "ppt", 100, u"#0", "ppt"},
    {1000, 100, u"#0.0", "ppt", 100, u"#0.0", "ppt"},
    {kBelowAll, 100, u"#0.00", "ppt", 100, u"#0.00", "ppt"},
}};

DerivedText displayText(std::span<const DisplayBand> bands, double x)
{
    // The last band catches everything below, and also a value that compares
    // with nothing, so a band is always found.
    const DisplayBand *band = &bands.back();
    for (const DisplayBand &b : bands) {
        if (x >= b.lowerBound) {
            band = &b;
            break;
        }
    }
    DerivedText t;
    t.cell = Format(x / band->cellDivisor, band->cellPattern) + QLatin1Char(' ')
        + QLatin1String(band->cellUnit);
    t.lcdValue = Format(x / band->lcdDivisor, band->lcdPattern);
    t.lcdUnit = QLatin1String(band->lcdUnit);
    return t;
}

int tempCoefIndex(int tempTenths)
{
    double t = tempTenths / 10.0;
    if (t > 50)
        t = 50;
    // The table starts at 0 °C; a colder sample uses the 0 °C coefficient,
    // the nearest one there is.
    const double i = roundHalfEven(t);
    return i < 0 ? 0 : int(i);
}

CondResult condQuantities(const CondInputs &in, const std::array<qint16, 51> &tempCoefTable)
{
    CondResult r{};
    const double temp = in.tempTenths;

    // Conductivity referred to the reference temperature, with the meter's own
    // linear coefficient. A far-off temperature with a steep coefficient can
    // drive the divisor to zero or below; no conductivity is meaningful then,
    // so it reads as none rather than as an infinite or negative figure.
    const double condDivisor = 1 + (temp - in.condTref) * in.condCtc * 0.00001;
    r.condComp = condDivisor > 0 ? in.condRaw / condDivisor : 0;

    if (r.condComp <= 0) {
        r.condComp = 0;
        r.resValue = 999000000;   // shown as "999 MR.cm": beyond any real water
    } else {
        r.resValue = 1000000 / r.condComp;
        if (r.resValue > 100000000)
            r.resValue = 100000000;
    }

    // TDS: its fit expects the conductivity at 25 °C with a fixed 2 %/°C,
    // whatever the meter's compensation settings are.
    // A negative conductivity (the field is signed) has no dissolved solids
    // and no salt: the quadratic fits would turn it into a large positive
    // figure, so it is taken as none, like a conductivity of 0.
    const double tdsDivisor = (temp - 250) * 0.002 + 1.0;
    if (tdsDivisor > 0 && in.condRaw > 0) {
        const double k = in.condRaw / tdsDivisor * 0.001;
        r.tdsValue = clampTo(evaluateFit(kTdsFit, k), 0, 100000);
    } else {
        r.tdsValue = 0;
    }

    // Salinity: its fit expects the conductivity at 18 °C, corrected with the
    // tabulated coefficient of the sample temperature.
    const qint16 coef = tempCoefTable[std::size_t(tempCoefIndex(in.tempTenths))];
    const double salDivisor = coef * 0.000001 * (temp - 180) + 1.0;
    if (salDivisor > 0 && in.condRaw > 0) {
        const double k = in.condRaw / salDivisor * 0.001;
        r.salValue = clampTo(evaluateFit(kSalFit, k) / 10, 0, 10000);
    } else {
        r.salValue = 0;
    }

    r.cond = displayText(kCondDisplay, r.condComp);
    r.res = displayText(kResDisplay, r.resValue);
    r.tds = displayText(kTdsDisplay, r.tdsValue);
    r.sal = displayText(kSalDisplay, r.salValue);
    return r;
}
