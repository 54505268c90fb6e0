#include "link/Decoders.h"
#include "link/HexField.h"
#include "link/MeasModes.h"
#include "link/ReadingWords.h"
#include "link/TextForms.h"
#include "shell/MainCore.h"
#include "table/GridLayouts.h"
#include "text/NumberFormat.h"

#include <array>

namespace {

// How field C of a record is read and shown, by measuring mode.
enum class Value : quint8 {
    None,       // mode 0: nothing stored
    Decimals,   // by the record's decimals code: v / 10^code
    Tenths,     // v / 10, "#0.0" (potentials)
    Hundredths, // v / 100, "#0.00" (pX)
    Mol,        // mantissa / 100 and an exponent: 1.23E-4
};

// Where a record goes: its display caption, value form and unit, and the
// cell (3..6) that takes the value; the table's other value cells read "----".
struct RecordPlan
{
    Value value;
    const char *unit;   // the unit label; nullptr: the record's unit code
    int cell;           // -1: none
    bool cellHasUnit;   // the cell is "value unit"
    bool dashes;        // the other value cells 3..6 read "----"
    int lastCell;       // the highest value column of the family's table
    bool clearsExponent;
};

constexpr std::array<RecordPlan, 16> kPlans{{
    {Value::None, nullptr, -1, false, false, 6, false},             // 0
    {Value::Decimals, "pH", 3, false, false, 6, false},            // 1 pH
    {Value::Tenths, "mV", 3, false, false, 6, false},              // 2 mV
    {Value::Tenths, "mV", 3, false, false, 6, false},              // 3 ORP
    {Value::Tenths, "mV", 3, false, false, 6, false},              // 4 EH: the measured potential
    {Value::Hundredths, "pX", 3, false, true, 6, true},            // 5 ISE pX
    {Value::Mol, "mol/L", 4, false, true, 6, false},               // 6 ISE mol/L
    {Value::Decimals, nullptr, 5, true, true, 6, true},            // 7 ISE mg/L
    {Value::Decimals, nullptr, 6, true, true, 6, true},            // 8 ISE ppm
    {Value::Decimals, nullptr, 3, true, true, 6, false},           // 9 COND
    {Value::Decimals, nullptr, 4, true, true, 6, false},           // 10 RES
    {Value::Decimals, nullptr, 5, true, true, 6, false},           // 11 TDS
    {Value::Decimals, nullptr, 6, true, true, 6, false},           // 12 SAL
    {Value::Decimals, nullptr, 3, true, true, 5, false},           // 13 DO mg/L
    {Value::Decimals, nullptr, 3, true, true, 5, false},           // 14 DO ppm
    {Value::Decimals, nullptr, 4, true, true, 5, false},           // 15 DO %
}};

// Unit texts by unit code; codes without one show no unit.
constexpr std::array<const char *, 16> kUnitText{
    nullptr, nullptr, nullptr, "ppm", "mg/L", "g/L", nullptr, nullptr,
    "mS/cm", "%", "uS/cm", "ppt", "MR.cm", "R.cm", "ppb", "KR.cm"};

// ISE mg/L and ppm records carry their unit as field C / 10000.
constexpr std::array<int, 4> kIonUnitByQuotient{4, 5, 3, 14};

} // namespace

// A stored record "S": one row from the meter's memory. Polling stops for
// the download; the chart draws stored rows only at its next redraw.
void DecodeStoredRecord(MainCore &f)
{
    Module1 &m = f.m;
    FlexGrid &grid = *f.MSFlexGrid1;
    auto &lbl = f.lcd.lblLCD;
    const QString &s = m.RxBuffer;

    // 1. Fields A, B, C, D.
    readModeDateTime(m, s);
    const int mode = m.MeasMode.toInt();
    const RecordPlan &plan = kPlans[std::size_t(mode)];
    const int c = HexPacked(s, 10);
    // A unit that belongs to this record, or none: never the previous one's.
    const char *unit = plan.unit;
    if (mode >= 1 && mode <= 4) {
        m.StoredValue = HexSigned(s, 10);
        m.StoredUnit = mode == 1 ? 6 : 7;
    } else if (mode == 5 || mode >= 9) {
        m.StoredValue = c % 4096;
        m.StoredUnit = quint8(c / 4096);
        unit = plan.unit ? plan.unit : kUnitText[m.StoredUnit];
    } else if (mode == 7 || mode == 8) {
        m.StoredValue = c % 10000;
        const int q = c / 10000;
        if (q < int(kIonUnitByQuotient.size())) {
            m.StoredUnit = quint8(kIonUnitByQuotient[std::size_t(q)]);
            unit = kUnitText[m.StoredUnit];
        }
    }
    // Mode 6 reads its mantissa and exponent from the field for this record
    // only; mode 0 stores nothing.
    const int d = HexPacked(s, 14);
    m.MtcFlag = quint8(Bits(d, 15, 11));
    m.TempTenths = qint16(Bits(d, 10, 0) - 500);

    // 2. Polling stops for the download.
    if (m.PollingOn) {
        f.Timer2.stop();
        m.PollingOn = false;
    }
    // 3. The first record into an empty table lays it out.
    const int r = m.GridRow;
    if (r == 1)
        f.Init_FlexGrid();

    // 4.-7. The row, its number, date and time.
    f.beginGridRow();
    grid.setTextMatrix(r, 0, QString::number(r));
    const QString date = textforms::dateText(m.ReadMonth, m.ReadDay);
    lbl[1].Caption = date;
    grid.setTextMatrix(r, 1, date);
    const QString time = textforms::timeText(m.ReadHour, m.ReadMinute, m.ReadSecond);
    lbl[1].Caption = lbl[1].Caption + QLatin1Char(' ') + time;
    grid.setTextMatrix(r, 2, time);

    // 8. The value by mode.
    if (plan.value != Value::None) {
        const double v = m.StoredValue.toDouble();
        QString value, cellText;
        switch (plan.value) {
        case Value::Decimals: {
            const int code = m.PhDecimals.toInt();
            value = Format(v / std::array<double, 4>{1, 10, 100, 1000}[std::size_t(code)],
                           textforms::decimalsPattern(code));
            break;
        }
        case Value::Tenths:
            value = Format(v / 10, u"#0.0");
            break;
        case Value::Hundredths:
            value = Format(v / 100, u"#0.00");
            break;
        case Value::Mol: {
            const QString exponent = QString::number(Bits(c, 15, 10));
            value = Format(Bits(c, 9, 0) / 100.0, u"#0.00");
            lbl[11].Caption = QLatin1Char('-') + exponent;
            cellText = value + QStringLiteral("E-") + exponent;
            break;
        }
        case Value::None:
            break;
        }
        if (measmode::kCaption[mode])
            lbl[0].Caption = QString::fromLatin1(measmode::kCaption[mode]);
        lbl[2].Caption = value;
        lbl[3].Caption = unit ? QString::fromLatin1(unit) : QString();
        if (plan.clearsExponent)
            lbl[11].Caption.clear();
        if (cellText.isEmpty())
            cellText = plan.cellHasUnit && unit ? value + QLatin1Char(' ') + lbl[3].Caption : value;
        for (int col = 3; col <= plan.lastCell; ++col) {
            if (col == plan.cell)
                grid.setTextMatrix(r, col, cellText);
            else if (plan.dashes)
                grid.setTextMatrix(r, col, QStringLiteral("----"));
        }
    }

    // 9.-11. Temperature, compensation and the temperature cell.
    const QString temperature = textforms::temperatureNumber(m.TempTenths, m.TempUnit)
        + (textforms::celsius(m.TempUnit) ? QStringLiteral("°C") : QStringLiteral("°F"));
    const QString mark = m.MtcFlag == 1 ? QStringLiteral("MTC") : QStringLiteral("ATC");
    lbl[4].Caption = temperature;
    lbl[5].Caption = m.MtcFlag == 1 ? mark : QString();
    lbl[6].Caption = m.MtcFlag == 1 ? QString() : mark;
    // A family without a layout: column 4, where the first layouts keep it.
    const int tempCol = gridlayout::temperatureColumn(m.MeterFamily.toDouble());
    grid.setTextMatrix(r, tempCol < 0 ? 4 : tempCol,
                       temperature + QLatin1Char('(') + mark + QLatin1Char(')'));

    // 12.-13. Record number; the row is done.
    lbl[10].Caption = QString::number(r);
    f.endGridRow();
}
