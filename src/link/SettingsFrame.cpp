#include "link/Decoders.h"
#include "link/HexField.h"
#include "link/SettingsPages.h"
#include "shell/MainCore.h"
#include "text/NumberFormat.h"

#include <cmath>

namespace settings {

void setRow(MainCore &f, int row, const QString &caption, const QString &value)
{
    f.panel.Line2[std::size_t(row)] = true;
    f.panel.Label1[std::size_t(row)].Caption = caption;
    f.panel.Label2[std::size_t(row)].Caption = value;
}

void timerRow(MainCore &f, int row)
{
    const int t = f.m.TimerSetting;
    if (t < 1)
        setRow(f, row, QStringLiteral("Timer:"), QStringLiteral("OFF"));
    else
        setRow(f, row, QStringLiteral("Timer :"), Format(t / 60, u"#0") + QLatin1Char(':') + Format(t % 60, u"00"));
}

void setMarks(MainCore &f, bool low, bool middle, bool high)
{
    static const char *const kLetters[3] = {"L", "M", "H"};
    const bool on[3] = {low, middle, high};
    for (int i = 0; i < 3; ++i) {
        f.lcd.lblLCD[std::size_t(7 + i)].Caption = on[i] ? QString::fromLatin1(kLetters[i]) : QString();
        f.lcd.Shape1[std::size_t(i)] = on[i];
    }
}

} // namespace settings

namespace {

using PageFn = void (*)(MainCore &, int);
constexpr PageFn kPages[5] = {settings::phPage, settings::mvPage, settings::isePage, settings::condPage,
                              settings::doPage};

} // namespace

// A settings frame "Q" or "P": the meter family, temperature unit, timer and
// the family's page in the settings panel. "P" also starts a new recording.
void DecodeSettingsFrame(MainCore &f)
{
    Module1 &m = f.m;
    const QString &s = m.RxBuffer;

    const int f1 = HexPacked(s, settings::fieldPos(1));
    m.MeterFamily = f1 / 8192;
    m.TimerSetting = qint16(f1 % 8192);
    const int f2 = HexPacked(s, settings::fieldPos(2));
    m.TempUnit = f2 / 32768;
    const int page = f2 % 32768;

    for (int i = 0; i < 7; ++i) {
        f.panel.Label1[std::size_t(i)].Caption.clear();
        f.panel.Label2[std::size_t(i)].Caption.clear();
        f.panel.Line2[std::size_t(i)] = false;
    }
    settings::setMarks(f, false, false, false);
    f.enabled.cmdStdAdd = false;

    const int family = m.MeterFamily.toInt();
    if (family >= 0 && family < 5)
        kPages[family](f, page);

    if (s.startsWith(QLatin1Char('P'))) {
        f.Frame1Visible = false;
        f.Init_FlexGrid();
        f.lcd.lblLCD[10].Caption.clear();
        f.Picture4.Cls();
    }
}
