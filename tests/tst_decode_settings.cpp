// Settings frames ("Q" and "P") through the receive tick: the seven panel
// rows, the calibration marks, Std-Add, the values later readings rely on,
// and the new recording a "P" frame starts. Expected texts are worked out by
// hand from the field tables.
#include "support/FakeMeter.h"

#include <QtTest>

namespace {

void send(Bench &b, const QString &fields)
{
    if (!fields.isEmpty())
        b.frame(QString(fields).remove(QLatin1Char(' ')));
}

// "caption|value" for a row with its rule shown, "" for a blank row; anything
// else (labels left over under a hidden rule) is marked so it cannot match.
QStringList panel(const Bench &b)
{
    QStringList rows;
    for (int i = 0; i < 7; ++i) {
        const QString text = b.caption(i) + QLatin1Char('|') + b.value(i);
        if (b.core.panel.Line2[std::size_t(i)])
            rows << text;
        else
            rows << (text == QLatin1String("|") ? QString() : QStringLiteral("hidden ") + text);
    }
    return rows;
}

// The three calibration letters: "L", "M", "H" when letter and circle are
// both shown, "." when both are off, "?" when they disagree.
QString marks(const Bench &b)
{
    QString out;
    for (int i = 0; i < 3; ++i) {
        const QString letter = b.lcd(7 + i);
        const bool circle = b.core.lcd.Shape1[std::size_t(i)];
        out += letter.isEmpty() && !circle ? QStringLiteral(".") : circle && !letter.isEmpty() ? letter : QStringLiteral("?");
    }
    return out;
}

const QString kPhExample = QStringLiteral("Q 005A 8400 9000 0000 FF9C 03E8");
const QString kSodium = QStringLiteral("Q 4000 0864 01F4");
const QString kCondExample = QStringLiteral("Q 6000 28FA 08C8 03E8");
const QString kUserThree = QStringLiteral("Q 0000 1000 1800 0000 0000 0000 0FA0 1B58 F830");

} // namespace

class TestDecodeSettings : public QObject
{
    Q_OBJECT

private slots:
    void page_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("frame");
        QTest::addColumn<QStringList>("rows");
        QTest::addColumn<QString>("marks");
        QTest::addColumn<bool>("stdAdd");

        const QString off = QStringLiteral("Timer:|OFF");
        const QStringList pu = {QStringLiteral("PU_1 :|OFF"), QStringLiteral("PU_2 :|OFF")};
        const QStringList zeroCal = {QStringLiteral("Offset :|0.0mV"), QStringLiteral("Slope :|0.0%")};

        // pH page
        QTest::newRow("pH example: CH, 1:30, two buffers") << "" << kPhExample
            << QStringList{"Solu :|CH", "PU_1 :|OFF", "PU_2 :|OFF", "Timer :|1:30", "Cal:|12.460 ,4.003", "Offset :|-1.0mV",
                           "Slope :|100.0%"} << "L.H" << false;
        QTest::newRow("pH NIST, all five buffers: no marks") << "" << "Q 0000 0C00 F800 0000 0000 0000"
            << QStringList{"Solu :|NIST"} + pu + QStringList{off, "Cal:|12.454 ,9.180,6.865,4.006,1.679"} + zeroCal << "..." << false;
        QTest::newRow("pH USA, flags 4 and 1") << "" << "Q 0000 0800 2800"
            << QStringList{"Solu :|USA"} + pu + QStringList{off, "Cal:|7.000,1.679"} + zeroCal << "L.H" << false;
        QTest::newRow("pH user buffers, two") << "" << "Q 0000 1000 1000 0000 0000 0000 1068 1B58"
            << QStringList{"Solu :|CUS"} + pu + QStringList{off, "Cal:|4.200,7.000"} + zeroCal << "L.H" << false;
        QTest::newRow("pH user buffers, three, one negative") << "" << kUserThree
            << QStringList{"Solu :|CUS"} + pu + QStringList{off, "Cal:|4.000,7.000,-2.000"} + zeroCal << "LMH" << false;
        QTest::newRow("pH user buffer, one, after three marks") << kUserThree << "Q 0000 1000 0800 0000 0000 0000 1B58"
            << QStringList{"Solu :|CUS"} + pu + QStringList{off, "Cal:|7.000"} + zeroCal << ".M." << false;
        QTest::newRow("pH user count 4: empty list, no marks") << kUserThree << "Q 0000 1000 2000"
            << QStringList{"Solu :|CUS"} + pu + QStringList{off, "Cal:|"} + zeroCal << "..." << false;
        QTest::newRow("pH set 0 with flags: nameless, empty list") << kPhExample << "Q 0000 0000 9000"
            << QStringList{"Solu :|"} + pu + QStringList{off, "Cal:|"} + zeroCal << "..." << false;
        QTest::newRow("pH no calibration after a full page: rows 4-6 blank") << kPhExample << "Q 1FFF 6400"
            << QStringList{"Solu :|CH", "PU_1 :|ON", "PU_2 :|ON", "Timer :|136:31"} << "..." << false;
        QTest::newRow("pH PU_1 only, timer 5 s") << "" << "Q 0005 4400"
            << QStringList{"Solu :|CH", "PU_1 :|ON", "PU_2 :|OFF", "Timer :|0:05"} << "..." << false;
        QTest::newRow("bare Q: pH page of zeros") << kPhExample << "Q" << QStringList{"Solu :|"} + pu + QStringList{off}
                                                  << "..." << false;
        QTest::newRow("pH after ISE disables Std-Add") << kSodium << "Q 0000 0400"
                                                       << QStringList{"Solu :|CH"} + pu + QStringList{off} << "..." << false;
        // mV page
        QTest::newRow("mV, Uref 200.0") << "" << "Q 2000 87D0" << QStringList{"Uref :|200.0 mV", off} << "..." << false;
        QTest::newRow("mV after a full pH page") << kPhExample << "Q 205A 0000"
                                                 << QStringList{"Uref :|0.0 mV", "Timer :|1:30"} << "..." << false;
        // ISE page
        QTest::newRow("ISE Na") << "" << kSodium << QStringList{"ISE :|Na", "Cal1 :|1.00pX", "Cal2 :|5.00pX", off} << "..."
                                << true;
        QTest::newRow("ISE Ca, widest Cal1, negative Cal2") << "" << "Q 4000 4FFF FF38"
            << QStringList{"ISE :|Ca", "Cal1 :|20.47pX", "Cal2 :|-2.00pX", off} << "..." << true;
        QTest::newRow("ISE user ion") << "" << "Q 4000 5000 0000 0000 0000 0000 0000 0000 107B"
                                      << QStringList{"ISE :|CUS", "Cal1 :|0.00pX", "Cal2 :|0.00pX", off} << "..." << true;
        QTest::newRow("ISE ion 11 has no name") << kSodium << "Q 4000 5800"
                                                << QStringList{"ISE :|", "Cal1 :|0.00pX", "Cal2 :|0.00pX", off} << "..." << true;
        // COND page: field 2 is set/decimals/Tref, field 3 standard x 1024 + CTC
        QTest::newRow("COND example") << "" << kCondExample
            << QStringList{"Solu :|USA", "Con :|1.000", "Tref :|25°C", "CTC :|2.00%", off} << ".M." << false;
        QTest::newRow("COND CH, decimals 1, Tref 20, standard 1, timer") << "" << "Q 605A 12C8 04C8 03E8"
            << QStringList{"Solu :|CH", "Con :|100.0", "Tref :|20°C", "CTC :|2.00%", "Timer :|1:30"} << "L.." << false;
        QTest::newRow("COND decimals 2, standard 3") << "" << "Q 6000 14FA 0CC8 03E8"
            << QStringList{"Solu :|CH", "Con :|10.00", "Tref :|25°C", "CTC :|2.00%", off} << "..H" << false;
        QTest::newRow("COND decimals 3, standard 4 shows H") << "" << "Q 6000 16FA 10C8 03E8"
            << QStringList{"Solu :|CH", "Con :|10.00", "Tref :|25°C", "CTC :|2.00%", off} << "..H" << false;
        QTest::newRow("COND decimals 7, set 3, standard 5, field 4 top bits ignored") << kPhExample << "Q 6000 3EFA 14C8 23E8"
            << QStringList{"Solu :|", "Con :|1.000", "Tref :|25°C", "CTC :|2.00%", off} << "..." << false;
        QTest::newRow("COND decimals 0, negative fields 3 and 4 truncate toward zero") << "" << "Q 6000 20FA FF38 FC18"
            << QStringList{"Solu :|USA", "Con :|-100.0", "Tref :|25°C", "CTC :|-2.00%", off} << "..." << false;
        // DO page and families without a page
        QTest::newRow("DO 0.01 mg") << "" << "Q 8000 2000" << QStringList{"RES :|0.01mg,0.1%", off} << "..." << false;
        QTest::newRow("DO 0.1 mg, low bits ignored, timer") << "" << "Q 805A 1FFF"
                                                            << QStringList{"RES :|0.1mg,1%", "Timer :|1:30"} << "..." << false;
        QTest::newRow("DO code 3 has no name") << "" << "Q 8000 3000" << QStringList{"RES :|", off} << "..." << false;
        QTest::newRow("family 5 after ISE: panel blank, Std-Add off") << kSodium << "Q A000 8000" << QStringList{} << "..."
                                                                       << false;
        QTest::newRow("family 7 after pH marks: marks cleared") << kPhExample << "Q FFFF FFFF" << QStringList{} << "..." << false;
    }
    void page()
    {
        QFETCH(QString, before);
        QFETCH(QString, frame);
        QFETCH(QStringList, rows);
        while (rows.size() < 7)
            rows << QString();
        Bench b;
        send(b, before);
        send(b, frame);
        QCOMPARE(panel(b), rows);
        QTEST(marks(b), "marks");
        QTEST(b.core.enabled.cmdStdAdd, "stdAdd");
    }

    void molarMass_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("frame");
        QTest::addColumn<double>("molarMass");

        QTest::newRow("Na from the table") << "" << kSodium << 22.99;
        QTest::newRow("Ca from the table") << "" << "Q 4000 4FFF" << 40.08;
        QTest::newRow("user ion: field 9 bits 11..0") << "" << "Q 4000 5000 0000 0000 0000 0000 0000 0000 107B" << 123.0;
        QTest::newRow("user ion, frame ends after field 6") << kSodium << "Q 4000 5000 0000 0000 0000 0000" << 0.0;
        QTest::newRow("ion 11 keeps the previous ion's") << kSodium << "Q 4000 5800" << 22.99;
    }
    void molarMass()
    {
        QFETCH(QString, before);
        QFETCH(QString, frame);
        Bench b;
        send(b, before);
        send(b, frame);
        QTEST(b.core.m.MolarMass, "molarMass");
    }

    void pFrameStartsNewRecording_data()
    {
        QTest::addColumn<QString>("payload");
        QTest::addColumn<QString>("header");
        QTest::addColumn<bool>("rangeSelector");

        QTest::newRow("pH") << "005A 8400 9000 0000 FF9C 03E8" << "pH" << false;
        QTest::newRow("COND") << "6000 28FA 08C8 03E8" << "COND" << true;
    }
    void pFrameStartsNewRecording()
    {
        QFETCH(QString, payload);
        Bench b;
        send(b, "Q " + payload);
        send(b, "D 1C00 0000 FF38 01F4");
        send(b, "D 1C00 0000 FF38 01F4");
        b.core.Picture4.lines.push_back({500, 6500, 800, 6000, 0xFF0000});
        b.core.Picture4.Print(QStringLiteral("trace"));

        // The same payload as "Q" changes nothing in the table or the chart.
        send(b, "Q " + payload);
        QCOMPARE(b.core.m.GridRow, 3);
        QCOMPARE(b.cell(2, 0), QStringLiteral("2"));
        QCOMPARE(b.lcd(10), QStringLiteral("2"));
        QCOMPARE(b.core.Picture4.lines.size(), std::size_t(1));

        const QStringList panelAfterQ = panel(b);
        const QString marksAfterQ = marks(b);
        send(b, "P " + payload);
        QCOMPARE(b.core.m.GridRow, 1);
        QCOMPARE(b.cell(1, 0), QString());
        QCOMPARE(b.cell(2, 3), QString());
        QVERIFY(b.core.MSFlexGrid1->highlightedRows().isEmpty());
        QTEST(b.cell(0, 3), "header");
        QTEST(b.core.Frame1Visible, "rangeSelector");
        QCOMPARE(b.lcd(10), QString());
        QCOMPARE(b.lcd(0), QString());
        QVERIFY(b.core.Picture4.lines.empty());
        QVERIFY(b.core.Picture4.texts.empty());
        QCOMPARE(panel(b), panelAfterQ);
        QCOMPARE(marks(b), marksAfterQ);
    }
};

QTEST_GUILESS_MAIN(TestDecodeSettings)
#include "tst_decode_settings.moc"
