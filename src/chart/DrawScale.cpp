#include "shell/MainCore.h"
#include "text/NumberFormat.h"

#include <array>
#include <cmath>

namespace {

using Captions = std::array<const char16_t *, 6>;

// Value-axis captions, bottom to top, then the unit; conductivity's numbers
// follow from the range (below).
constexpr std::array<Captions, 5> kValueLabels{{
    {u"0", u"", u"7", u"", u"14", u"pH"},
    {u"-2000", u"-1000", u"0", u"1000", u"2000", u"mV"},
    {u"8", u"6", u"4", u"2", u"0", u"pX"},
    {nullptr, nullptr, nullptr, nullptr, nullptr, nullptr},
    {u"0", u"5", u"10", u"15", u"20", u"DO(mg/L)"},
}};

// Conductivity: the label at each tick, as microsiemens times the scale for
// the microsiemens ranges and millisiemens times it for the others.
constexpr std::array<double, 4> kCondMicro{1500, 3000, 4500, 6000};
constexpr std::array<double, 4> kCondMilli{1.5, 3, 4.5, 6};

// Temperature-axis captions: 0..100 degC for pH, mV and ISE, 0..50 degC for
// conductivity and DO; each in Celsius and Fahrenheit.
struct TempLabels { Captions celsius, fahrenheit; };
constexpr TempLabels kWideTemp{{u"0", u"25", u"50", u"75", u"100", u"°C"},
                               {u"32", u"77", u"122", u"167", u"212", u"°F"}};
constexpr TempLabels kNarrowTemp{{u"0", u"", u"25", u"", u"50", u"°C"},
                                 {u"32", u"", u"77", u"", u"122", u"°F"}};
constexpr std::array<const TempLabels *, 5> kTempLabels{&kWideTemp, &kWideTemp, &kWideTemp, &kNarrowTemp,
                                                        &kNarrowTemp};

void setCaptions(std::array<Label, 6> &labels, const Captions &texts)
{
    for (std::size_t i = 0; i < labels.size(); ++i)
        labels[i].Caption = QString::fromUtf16(texts[i]);
}

bool condLabels(std::array<Label, 6> &lblY, double scale)
{
    // No range chosen yet: nothing to divide by, the labels stay.
    if (scale == 0 || !std::isfinite(scale))
        return false;
    const bool micro = scale == 3 || scale == 30 || scale == 300;
    const auto &ticks = micro ? kCondMicro : kCondMilli;
    lblY[0].Caption = QStringLiteral("0");
    for (std::size_t i = 0; i < ticks.size(); ++i)
        lblY[i + 1].Caption = Format(ticks[i] / scale, u"#0");
    lblY[5].Caption = micro ? QStringLiteral("COND(uS)") : QStringLiteral("COND(mS)");
    return true;
}

} // namespace

// The chart's frame: the axes shown, the value labels for the meter family
// (and conductivity's range), seven time labels from row 1's time and the
// time base, and the temperature labels. Draws no trace and clears nothing.
void MainCore::Draw_Scale()
{
    // 1. The axis lines.
    chart.LineY.fill(true);
    chart.LineN.fill(true);
    chart.LineX.fill(true);

    const double family = m.MeterFamily.toDouble();
    const bool known = family >= 0 && family <= 4 && family == std::floor(family);

    // 2. Value-axis labels.
    if (known && int(family) == 3)
        condLabels(chart.lblY, m.ValueScale.toDouble());
    else if (known)
        setCaptions(chart.lblY, kValueLabels[std::size_t(family)]);

    // 3. Time labels: row 1's time, then every fifth step.
    m.TimeText = MSFlexGrid1->TextMatrix(1, 2);
    HhMmSs_Ss();
    for (int i = 0; i < 7; ++i) {
        const qint64 t = qint64(m.TimeSeconds) + 5 * qint64(i) * m.TimeBase;
        qint64 hour = t / 3600;
        if (hour > 23)
            hour -= 24;
        const qint64 minute = (t % 3600) / 60;
        const qint64 second = (t % 3600) % 60;
        chart.lblX[std::size_t(i)].Caption = Format(double(hour), u"#0") + QLatin1Char(':')
            + Format(double(minute), u"00") + QLatin1Char(':') + Format(double(second), u"00");
    }

    // 4. Temperature labels.
    if (known) {
        const TempLabels &t = *kTempLabels[std::size_t(family)];
        setCaptions(chart.LblN, m.TempUnit == 1 ? t.celsius : t.fahrenheit);
    }
}
