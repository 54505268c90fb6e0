#include "derive/IonConcentration.h"

#include "derive/IonTable.h"
#include "text/LeadingNumber.h"
#include "text/NumberFormat.h"

#include <cmath>
#include <limits>

namespace {

// What the ppm column and display show once the mass is past their range:
// the meter's ppm display tops out at 999.9.
const QString kPpmOverCell = QStringLiteral("----");
const QString kPpmOverLcd = QStringLiteral("999.9");

QString joined(const QString &number, const char *unit)
{
    return number + QLatin1Char(' ') + QLatin1String(unit);
}

} // namespace

const std::array<MassBand, 7> kMassDisplay = {{
    {100000, 1000, u"#0.0", "g/L", 1, nullptr, "ppm"},
    {10000, 1000, u"#0.00", "g/L", 1, nullptr, "ppm"},
    {1000, 1000, u"#0.000", "g/L", 1, nullptr, "ppm"},
    {100, 1, u"#0.0", "mg/L", 1, u"#0.0", "ppm"},
    {10, 1, u"#0.00", "mg/L", 1, u"#0.00", "ppm"},
    {0.01, 1, u"#0.000", "mg/L", 1, u"#0.000", "ppm"},
    // Traces: one mg/L is one ppm, so a thousandth of it is one ppt.
    {-std::numeric_limits<double>::infinity(), 1, u"#0.000", "mg/L", 1000, u"#0.0", "ppt"},
}};

IonResult ionConcentrations(double pxValue, int ionType, double molarMassBefore, int measMode)
{
    IonResult r{};

    r.molarMass = molarMassBefore;
    if (ionType >= 0 && ionType < kCustomIonType)
        r.molarMass = kIonTable[std::size_t(ionType)].molarMass;

    r.molValue = std::pow(10.0, -pxValue);
    r.mgValue = 1000 * (r.molarMass * r.molValue);   // g/mol x mol/L = g/L

    const QString molText = Format(r.molValue, u"0.00E+00");
    r.cells[0] = Format(pxValue, u"#0.00");
    r.cells[1] = molText;

    r.lcdSet = measMode >= 5 && measMode <= 8;
    if (measMode == 5) {
        r.lcdValue = r.cells[0];
        r.lcdUnit = QStringLiteral("pX");
    } else if (measMode == 6) {
        // The LCD shows the mantissa large and the exponent as a small figure
        // beside it: "1.00E-03" becomes "1.00" and "-3"; a non-negative
        // exponent gets a blank where the sign would stand (" 1").
        r.lcdValue = molText.left(4);
        r.lcdUnit = QStringLiteral("mol");
        const int exponent = int(Val(QStringView(molText).mid(5)));
        r.lcdExponent = exponent < 0 ? QString::number(exponent)
                                     : QLatin1Char(' ') + QString::number(exponent);
    }

    const double m = r.mgValue;
    const MassBand *band = &kMassDisplay.back();
    for (const MassBand &b : kMassDisplay) {
        if (m >= b.lowerBound) {
            band = &b;
            break;
        }
    }
    const QString massText = Format(m / band->massDivisor, band->massPattern);
    r.cells[2] = joined(massText, band->massUnit);
    QString ppmText = kPpmOverLcd;
    if (band->ppmPattern) {
        ppmText = Format(m * band->ppmMultiplier, band->ppmPattern);
        r.cells[3] = joined(ppmText, band->ppmUnit);
    } else {
        r.cells[3] = kPpmOverCell;
    }

    if (measMode == 7) {
        r.lcdValue = massText;
        r.lcdUnit = QLatin1String(band->massUnit);
    } else if (measMode == 8) {
        r.lcdValue = ppmText;
        r.lcdUnit = QLatin1String(band->ppmUnit);
    }
    return r;
}
