#include "link/HexField.h"
#include "link/SettingsPages.h"
#include "shell/MainCore.h"
#include "text/NumberFormat.h"

#include <array>

namespace {

struct BufferSet
{
    const char *name;
    std::array<const char *, 5> buffers;   // flag values 16, 8, 4, 2, 1
};

// Index = buffer set code; 0 and 5..7 have no name. The first buffer of each
// standard set carries a trailing blank, as the meter lists it.
constexpr BufferSet kBufferSets[5] = {
    {nullptr, {}},
    {"CH", {"12.460 ", "9.182", "6.864", "4.003", "1.680"}},
    {"USA", {"12.454 ", "10.012", "7.000", "4.005", "1.679"}},
    {"NIST", {"12.454 ", "9.180", "6.865", "4.006", "1.679"}},
    {"CUS", {}},   // user buffers come in fields 7..9
};
constexpr int kUserSet = 4;

// Calibration marks by the number of calibrated buffers: L, M, H.
constexpr bool kMarks[4][3] = {
    {false, false, false}, {false, true, false}, {true, false, true}, {true, true, true}};

} // namespace

namespace settings {

void phPage(MainCore &f, int page)
{
    Module1 &m = f.m;
    const QString &s = m.RxBuffer;

    m.PhPu1 = Bits(page, 14, 14);
    m.PhPu2 = quint8(Bits(page, 13, 13));
    m.SoluSet = quint8(Bits(page, 12, 10));
    m.PhCalBuffers = Bits(HexPacked(s, fieldPos(3)), 15, 11);
    m.CalOffset = HexSigned(s, fieldPos(5)) / 100.0;
    m.CalSlope = HexSigned(s, fieldPos(6)) / 10.0;

    const bool named = m.SoluSet >= 1 && m.SoluSet <= 4;
    setRow(f, 0, QStringLiteral("Solu :"), named ? QString::fromLatin1(kBufferSets[m.SoluSet].name) : QString());
    setRow(f, 1, QStringLiteral("PU_1 :"), m.PhPu1 == 1 ? QStringLiteral("ON") : QStringLiteral("OFF"));
    setRow(f, 2, QStringLiteral("PU_2 :"), m.PhPu2 == 1 ? QStringLiteral("ON") : QStringLiteral("OFF"));
    timerRow(f, 3);

    const int flags = m.PhCalBuffers.toInt();
    if (flags == 0)
        return;

    QString list;
    m.PhCalCount = 0;
    if (m.SoluSet >= 1 && m.SoluSet <= 3) {
        for (int i = 0; i < 5; ++i) {
            if (flags & (16 >> i)) {
                const QString text = QString::fromLatin1(kBufferSets[m.SoluSet].buffers[std::size_t(i)]);
                list = list.isEmpty() ? text : list + QLatin1Char(',') + text;
                ++m.PhCalCount;
            }
        }
    } else if (m.SoluSet == kUserSet && flags >= 1 && flags <= 3) {
        for (int i = 0; i < flags; ++i) {
            const QString text = Format(HexSigned(s, fieldPos(7 + i)) / 1000.0, u"#0.000");
            list = i == 0 ? text : list + QLatin1Char(',') + text;
        }
        m.PhCalCount = quint8(flags);
    }
    setRow(f, 4, QStringLiteral("Cal:"), list);

    if (m.PhCalCount >= 1 && m.PhCalCount <= 3) {
        const bool *marks = kMarks[m.PhCalCount];
        setMarks(f, marks[0], marks[1], marks[2]);
    }

    for (int row : {5, 6}) {
        f.panel.Label1[std::size_t(row)].Visible = true;
        f.panel.Label2[std::size_t(row)].Visible = true;
    }
    setRow(f, 5, QStringLiteral("Offset :"), Format(m.CalOffset.toDouble(), u"#0.0") + QStringLiteral("mV"));
    setRow(f, 6, QStringLiteral("Slope :"), Format(m.CalSlope, u"#0.0") + QLatin1Char('%'));
}

} // namespace settings
