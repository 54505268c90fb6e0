#include "derive/IonTable.h"
#include "link/HexField.h"
#include "link/SettingsPages.h"
#include "shell/MainCore.h"
#include "text/NumberFormat.h"

namespace {

constexpr int kUserIon = 10;
constexpr int kNamedIons = 10;   // 0..9 carry a name and a molar mass

// Cell-constant text by its decimals code 0..7.
constexpr const char16_t *kCellConstPattern[8] = {u"#0.0", u"#0.0", u"#0.00", u"#0.00",
                                                  u"#0.000", u"#0.000", u"#0.000", u"#0.000"};
constexpr double kCellConstDivisor[8] = {10, 10, 100, 100, 1000, 1000, 1000, 1000};

// Standard-solution sets of a conductivity meter; other codes have no name.
const char *condSetName(int set)
{
    static const char *const kNames[3] = {nullptr, "CH", "USA"};
    return set >= 1 && set <= 2 ? kNames[set] : nullptr;
}

const char *doResolutionName(int code)
{
    static const char *const kNames[3] = {nullptr, "0.1mg,1%", "0.01mg,0.1%"};
    return code >= 1 && code <= 2 ? kNames[code] : nullptr;
}

QString nameOrEmpty(const char *name)
{
    // Codes without a name leave the value empty: the panel stays usable.
    return name ? QString::fromLatin1(name) : QString();
}

} // namespace

namespace settings {

void mvPage(MainCore &f, int page)
{
    f.m.MvUref = qint16(page);
    setRow(f, 0, QStringLiteral("Uref :"), Format(f.m.MvUref / 10.0, u"#0.0") + QStringLiteral(" mV"));
    timerRow(f, 1);
}

void isePage(MainCore &f, int page)
{
    Module1 &m = f.m;
    const QString &s = m.RxBuffer;
    f.enabled.cmdStdAdd = true;

    m.IonType = quint8(Bits(page, 14, 11));
    m.IseCal1 = Bits(page, 10, 0);
    m.IseCal2 = qint16(HexSigned(s, fieldPos(3)));
    (void)HexSigned(s, fieldPos(4));   // carried, not shown
    m.CalOffset = HexSigned(s, fieldPos(5)) / 10.0;
    m.CalSlope = HexSigned(s, fieldPos(6)) / 10.0;
    if (m.IonType == kUserIon)
        m.MolarMass = Bits(HexPacked(s, fieldPos(9)), 11, 0);

    QString name;
    if (m.IonType <= kUserIon)
        name = QString::fromLatin1(kIonTable[m.IonType].name);
    if (m.IonType < kNamedIons)
        m.MolarMass = kIonTable[m.IonType].molarMass;
    setRow(f, 0, QStringLiteral("ISE :"), name);
    setRow(f, 1, QStringLiteral("Cal1 :"), Format(m.IseCal1.toDouble() / 100, u"#0.00") + QStringLiteral("pX"));
    setRow(f, 2, QStringLiteral("Cal2 :"), Format(m.IseCal2 / 100.0, u"#0.00") + QStringLiteral("pX"));
    timerRow(f, 3);
}

void condPage(MainCore &f, int page)
{
    Module1 &m = f.m;
    const QString &s = m.RxBuffer;

    m.SoluSet = quint8(Bits(page, 14, 12));
    m.ConDecimals = quint8(Bits(page, 11, 9));
    m.CondTref = Bits(page, 8, 0);

    // Fields 3 and 4 are signed; their parts truncate toward zero and the
    // remainder keeps the field's sign, as C++ integer division does.
    const int f3 = HexSigned(s, fieldPos(3));
    m.CondCalStd = f3 / 1024;
    m.CondCtc = qint16(f3 % 1024);
    const int c = HexSigned(s, fieldPos(4)) % 8192;
    m.CellConstText = Format(c / kCellConstDivisor[m.ConDecimals], kCellConstPattern[m.ConDecimals]);

    const int std = m.CondCalStd.toInt();
    setMarks(f, std == 1, std == 2, std == 3 || std == 4);

    setRow(f, 0, QStringLiteral("Solu :"), nameOrEmpty(condSetName(m.SoluSet)));
    setRow(f, 1, QStringLiteral("Con :"), m.CellConstText);
    setRow(f, 2, QStringLiteral("Tref :"), Format(m.CondTref.toDouble() / 10, u"#0") + QStringLiteral("°C"));
    setRow(f, 3, QStringLiteral("CTC :"), Format(m.CondCtc / 100.0, u"#0.00") + QLatin1Char('%'));
    timerRow(f, 4);
}

void doPage(MainCore &f, int page)
{
    f.m.DoResCode = quint8(Bits(page, 14, 12));
    setRow(f, 0, QStringLiteral("RES :"), nameOrEmpty(doResolutionName(f.m.DoResCode)));
    timerRow(f, 1);
}

} // namespace settings
