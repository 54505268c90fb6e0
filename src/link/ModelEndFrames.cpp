#include "link/Decoders.h"
#include "shell/MainCore.h"
#include "text/VisibleText.h"

// The model frame "M": the model code goes into the title, polling stops.
void DecodeModelFrame(MainCore &f)
{
    Module1 &m = f.m;
    f.Timer2.stop();
    m.PollingOn = false;
    m.ModelCode = m.RxBuffer.mid(1, 16);
    m.ModelPrefix = m.ModelCode.toString().left(2);
    // The meter speaks printable ASCII; anything else on the line is noise.
    using visibletext::Keep;
    f.Caption = QStringLiteral("TQ8") + visibletext::visible(m.ModelPrefix, Keep::PrintableAscii)
        + QStringLiteral(" BenchLog(") + visibletext::visible(m.ModelCode.toString(), Keep::PrintableAscii) + QLatin1Char(')');
}

namespace {

struct HelpLine { int x, y; const char *text; };

// How to go on after a transfer, printed over the chart.
constexpr HelpLine kHelp[3] = {
    {1000, 3000, "1.Click \"Clear\" to empty the table,then receive"},
    {1500, 3800, "new data and draw real time line!"},
    {1000, 5000, "2.Click \"Export\" to save the data to excel!"},
};

} // namespace

// The end frame "E": after logged readings it ends the exchange and prints
// how to go on; on an empty table it starts a fresh recording.
void DecodeEndFrame(MainCore &f)
{
    Module1 &m = f.m;
    if (m.GridRow > 1) {
        f.chart.clear();
        f.Picture4.ForeColor = 0x000000;
        f.Picture4.FontSize = 24;
        for (const HelpLine &h : kHelp) {
            f.Picture4.CurrentX = h.x;
            f.Picture4.CurrentY = h.y;
            f.Picture4.Print(QString::fromLatin1(h.text));
        }
        f.Picture4.FontSize = 8;
        f.Timer2.stop();
        m.PollingOn = false;
    } else if (m.GridRow == 1) {
        f.startNewRecording();
    }
}
