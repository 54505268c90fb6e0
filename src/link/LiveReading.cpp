#include "link/Decoders.h"
#include "link/HexField.h"
#include "link/MeasModes.h"
#include "link/ReadingWords.h"
#include "link/TextForms.h"
#include "shell/MainCore.h"
#include "table/GridLayouts.h"
#include "text/NumberFormat.h"

#include <cmath>

// A live reading "D": one new table row, the display mirror, the chart.
void DecodeLiveReading(MainCore &f)
{
    Module1 &m = f.m;
    FlexGrid &grid = *f.MSFlexGrid1;
    auto &lbl = f.lcd.lblLCD;
    const QString &s = m.RxBuffer;

    // 1. Mode, decimals, date and time.
    readModeDateTime(m, s);
    const int mode = m.MeasMode.toInt();

    // 2. The main value; dissolved oxygen carries three more.
    const int value = HexSigned(s, 10);
    if (measmode::isPh(mode)) {
        m.PhValue = value / 1000.0;
    } else if (measmode::isPotential(mode)) {
        m.MvValue = value / 10.0;
    } else if (measmode::isIon(mode)) {
        m.PxValue = value / 1000.0;
    } else if (measmode::isCond(mode)) {
        m.CondRaw = value;
    } else if (measmode::isOxygen(mode)) {
        m.DoValue = value / 100.0;
        m.DoSaturation = HexSigned(s, 14) / 10.0;
        m.AirPressure = HexSigned(s, 18) / 10.0;
        m.DoSalinity = HexSigned(s, 22);
    }

    // 3. Temperature word: range code, compensation, temperature.
    const int tw = HexPacked(s, measmode::isOxygen(mode) ? 26 : 14);
    const int range = Bits(tw, 15, 12);
    m.MtcFlag = quint8(Bits(tw, 11, 11));
    m.TempTenths = qint16(Bits(tw, 10, 0) - 500);
    if (measmode::isIon(mode))
        m.IonType = quint8(range);
    if (measmode::isCond(mode) && range >= 7 && range <= 13)
        m.CondRaw = m.CondRaw.toDouble() * std::pow(10.0, range - 10);

    // 4. The new row takes the highlight.
    f.beginGridRow();
    const int row = m.GridRow;

    // 5. Mode caption; ion and conductivity readings fill their own cells.
    if (measmode::kCaption[mode])
        lbl[0].Caption = QString::fromLatin1(measmode::kCaption[mode]);
    if (measmode::isIon(mode))
        f.pX_mol_mg_ppm();
    else if (measmode::isCond(mode))
        f.Cond_RES_TDS_SAL();

    // 6.-8. Serial number, date, time.
    grid.setTextMatrix(row, 0, QString::number(row));
    const QString date = textforms::dateText(m.ReadMonth, m.ReadDay);
    lbl[1].Caption = date;
    grid.setTextMatrix(row, 1, date);
    const QString time = textforms::timeText(m.ReadHour, m.ReadMinute, m.ReadSecond);
    lbl[1].Caption = lbl[1].Caption + QLatin1Char(' ') + time;
    grid.setTextMatrix(row, 2, time);

    // 9. Value fields by mode.
    if (measmode::isPh(mode)) {
        // A reading without a decimals code shows a whole number.
        const QString text = Format(m.PhValue.toDouble(), textforms::decimalsPattern(m.PhDecimals.toInt()));
        lbl[2].Caption = text;
        lbl[3].Caption = QStringLiteral("pH");
        lbl[11].Caption.clear();
        grid.setTextMatrix(row, 3, text);
    } else if (mode == 2 || mode == 3) {
        const QString text = Format(m.MvValue.toDouble(), u"#0.0");
        lbl[2].Caption = text;
        lbl[3].Caption = QStringLiteral("mV");
        lbl[11].Caption.clear();
        grid.setTextMatrix(row, 3, text);
    } else if (mode == 4) {
        // The mirror shows the potential against the hydrogen electrode;
        // the table keeps the measured one.
        lbl[2].Caption = Format(m.MvValue.toDouble() + m.MvUref / 10.0, u"#0.0");
        lbl[3].Caption = QStringLiteral("mV");
        lbl[11].Caption.clear();
        grid.setTextMatrix(row, 3, Format(m.MvValue.toDouble(), u"#0.0"));
    } else if (measmode::isOxygen(mode)) {
        if (m.DoResCode == 1) {
            grid.setTextMatrix(row, 3, Format(m.DoValue.toDouble(), u"#0.0"));
            grid.setTextMatrix(row, 4, Format(m.DoSaturation.toDouble(), u"#0"));
        } else if (m.DoResCode == 2) {
            grid.setTextMatrix(row, 3, Format(m.DoValue.toDouble(), u"#0.00"));
            grid.setTextMatrix(row, 4, Format(m.DoSaturation.toDouble(), u"#0.0"));
        }
        grid.setTextMatrix(row, 5, Format(m.DoSalinity.toDouble(), u"#0") + QStringLiteral("ppt"));
        static const char *const kUnit[3] = {"mg/L", "ppm", "%"};
        lbl[2].Caption = grid.TextMatrix(row, mode == 15 ? 4 : 3);
        lbl[3].Caption = QString::fromLatin1(kUnit[mode - 13]);
        f.panel.Label1[2].Caption = QStringLiteral("A.P.");
        f.panel.Label2[2].Caption = Format(m.AirPressure.toDouble(), u"#0.0") + QStringLiteral("kPa");
        f.panel.Line2[2] = true;
    }

    // 10.-12. Temperature and compensation.
    const QString temperature = textforms::temperatureNumber(m.TempTenths, m.TempUnit)
        + (textforms::celsius(m.TempUnit) ? QStringLiteral("°C") : QStringLiteral("°F"));
    const QString compensation = m.MtcFlag != 1 ? QStringLiteral("ATC") : QStringLiteral("MTC");
    lbl[4].Caption = temperature;
    lbl[5].Caption = m.MtcFlag != 1 ? QString() : compensation;
    lbl[6].Caption = m.MtcFlag != 1 ? compensation : QString();
    const int tempCol = gridlayout::temperatureColumn(m.MeterFamily.toDouble());   // -1: no cell
    if (tempCol >= 0)   // "25.0°C(ATC)"
        grid.setTextMatrix(row, tempCol, temperature + QLatin1Char('(') + compensation + QLatin1Char(')'));

    // 13. Record number.
    lbl[10].Caption = QString::number(row);

    // 14. Chart: a fresh frame for the first row of a recording, otherwise
    // one more step of the traces.
    if (row == 1 && m.PollingOn)
        f.Draw_Scale();
    else
        f.Draw_Line();

    // 15. Advance to the next row.
    f.endGridRow();
}
