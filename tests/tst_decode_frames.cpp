// Settings frames ("Q" and "P") through the receive tick: the seven panel
// rows, the calibration marks, Std-Add, the values later readings rely on,
// and the new recording a "P" frame starts; then the model frame "M" and the
// end frame "E". Expected texts are worked out by hand from the field tables.
#include "support/DataTable.h"
#include "support/FakeMeter.h"
#include "support/OwnHome.h"

namespace {

// "caption|value" for a row with its rule shown, "" for a blank row, '/'
// between rows, trailing blank rows dropped; anything else (labels left over
// under a hidden rule) is marked so it cannot match.
QString panel(const Bench &b)
{
    QStringList rows;
    for (int i = 0; i < 7; ++i) {
        const QString text = b.caption(i) + QLatin1Char('|') + b.value(i);
        rows << (b.core.panel.Line2[std::size_t(i)] ? text : text == QLatin1String("|") ? QString() : "hidden " + text);
    }
    while (!rows.isEmpty() && rows.last().isEmpty())
        rows.removeLast();
    return rows.join(QLatin1Char('/'));
}

// The three calibration letters: "L", "M", "H" when letter and circle are
// both shown, "." when both are off, "?" when they disagree.
QString marks(const Bench &b)
{
    QString out;
    for (int i = 0; i < 3; ++i) {
        const QString letter = b.lcd(7 + i);
        const bool circle = b.core.lcd.Shape1[std::size_t(i)];
        out += letter.isEmpty() && !circle ? QStringLiteral(".")
                                           : circle && !letter.isEmpty() ? letter : QStringLiteral("?");
    }
    return out;
}

const QString kPhExample = QStringLiteral("Q 005A 8400 9000 0000 FF9C 03E8");
const QString kSodium = QStringLiteral("Q 4000 0864 01F4");
const QString kUserThree = QStringLiteral("Q 0000 1000 1800 0000 0000 0000 0FA0 1B58 F830");

} // namespace

class TestDecodeFrames : public QObject
{
    Q_OBJECT
public:
    static void initMain() { useOwnHome(); }

private slots:
    void page_data()
    {
        // molarMass: < 0: not checked
        columns<QString, QString, QString, QString, bool, double>(
            "before", "frame", "rows", "marks", "stdAdd", "molarMass");
        auto row = [](const char *name, const QString &before, const QString &frame, const QString &rows,
                      const char *marks = "...", bool stdAdd = false, double molarMass = -1) {
            QTest::newRow(name) << before << frame << rows << marks << stdAdd << molarMass;
        };
        const QString ph0 = QStringLiteral("/PU_1 :|OFF/PU_2 :|OFF/Timer:|OFF");
        const QString cal0 = QStringLiteral("/Offset :|0.0mV/Slope :|0.0%");
        const QString cus = QStringLiteral("Solu :|CUS") + ph0 + "/Cal:|";

        row("pH example: CH, 1:30, two buffers", "", kPhExample,
            "Solu :|CH/PU_1 :|OFF/PU_2 :|OFF/Timer :|1:30/Cal:|12.460 ,4.003/Offset :|-1.0mV/Slope :|100.0%", "L.H");
        row("pH NIST, all five buffers: no marks", "", "Q 0000 0C00 F800 0000 0000 0000",
            "Solu :|NIST" + ph0 + "/Cal:|12.454 ,9.180,6.865,4.006,1.679" + cal0);
        row("pH user buffers, three, one negative", "", kUserThree, cus + "4.000,7.000,-2.000" + cal0, "LMH");
        row("pH user buffer, one, after three marks", kUserThree, "Q 0000 1000 0800 0000 0000 0000 1B58",
            cus + "7.000" + cal0, ".M.");
        row("pH user count 4: empty list, no marks", kUserThree, "Q 0000 1000 2000", cus + cal0);
        row("pH set 0 with flags: nameless, empty list", kPhExample, "Q 0000 0000 9000",
            "Solu :|" + ph0 + "/Cal:|" + cal0);
        row("pH no calibration after a full page: rows 4-6 blank", kPhExample, "Q 1FFF 6400",
            "Solu :|CH/PU_1 :|ON/PU_2 :|ON/Timer :|136:31");
        row("pH PU_1 only, timer 5 s", "", "Q 0005 4400", "Solu :|CH/PU_1 :|ON/PU_2 :|OFF/Timer :|0:05");
        row("bare Q: pH page of zeros", kPhExample, "Q", "Solu :|" + ph0);
        row("mV, Uref 200.0", "", "Q 2000 87D0", "Uref :|200.0 mV/Timer:|OFF");
        row("ISE Ca, widest Cal1, negative Cal2", "", "Q 4000 4FFF FF38",
            "ISE :|Ca/Cal1 :|20.47pX/Cal2 :|-2.00pX/Timer:|OFF", "...", true, 40.08);
        row("ISE user ion: molar mass in field 9 bits 11..0", "", "Q 4000 5000 0000 0000 0000 0000 0000 0000 107B",
            "ISE :|CUS/Cal1 :|0.00pX/Cal2 :|0.00pX/Timer:|OFF", "...", true, 123);
        row("ISE user ion, frame ends after field 6", kSodium, "Q 4000 5000 0000 0000 0000 0000",
            "ISE :|CUS/Cal1 :|0.00pX/Cal2 :|0.00pX/Timer:|OFF", "...", true, 0);
        row("ISE ion 11 has no name, keeps the molar mass", kSodium, "Q 4000 5800",
            "ISE :|/Cal1 :|0.00pX/Cal2 :|0.00pX/Timer:|OFF", "...", true, 22.99);
        // COND page: field 2 is set/decimals/Tref, field 3 standard x 1024 + CTC
        row("COND example", "", "Q 6000 28FA 08C8 03E8",
            "Solu :|USA/Con :|1.000/Tref :|25°C/CTC :|2.00%/Timer:|OFF", ".M.");
        row("COND decimals 3, standard 4 shows H", "", "Q 6000 16FA 10C8 03E8",
            "Solu :|CH/Con :|10.00/Tref :|25°C/CTC :|2.00%/Timer:|OFF", "..H");
        row("COND decimals 7, set 3, standard 5, field 4 top bits ignored", kPhExample, "Q 6000 3EFA 14C8 23E8",
            "Solu :|/Con :|1.000/Tref :|25°C/CTC :|2.00%/Timer:|OFF");
        row("COND decimals 0, negative fields 3 and 4 truncate toward zero", "", "Q 6000 20FA FF38 FC18",
            "Solu :|USA/Con :|-100.0/Tref :|25°C/CTC :|-2.00%/Timer:|OFF");
        row("DO 0.1 mg, low bits ignored, timer", "", "Q 805A 1FFF", "RES :|0.1mg,1%/Timer :|1:30");
        row("DO code 3 has no name", "", "Q 8000 3000", "RES :|/Timer:|OFF");
        row("family 5 after ISE: panel blank, Std-Add off", kSodium, "Q A000 8000", "");
        row("family 7 after pH marks: marks cleared", kPhExample, "Q FFFF FFFF", "");
    }
    void page()
    {
        auto [before, frame, molarMass] = fetch<QString, QString, double>("before", "frame", "molarMass");
        Bench b;
        b.send(before);
        b.send(frame);
        QTEST(panel(b), "rows");
        QTEST(marks(b), "marks");
        QTEST(b.core.enabled.cmdStdAdd, "stdAdd");
        if (molarMass >= 0)
            QCOMPARE(b.core.m.MolarMass, molarMass);
    }

    void pFrameStartsNewRecording_data()
    {
        columns<QString, QString, bool>("payload", "header", "rangeSelector");

        QTest::newRow("pH") << "005A 8400 9000 0000 FF9C 03E8" << "pH" << false;
        QTest::newRow("COND") << "6000 28FA 08C8 03E8" << "COND" << true;
        QTest::newRow("family without a layout") << "A000 8000" << "" << false;
    }
    void pFrameStartsNewRecording()
    {
        QFETCH(QString, payload);
        Bench b;
        b.send("Q " + payload);
        b.send("D 1C00 0000 FF38 01F4");
        b.send("D 1C00 0000 FF38 01F4");
        b.core.Picture4.Print(QStringLiteral("trace"));

        // The same payload as "Q" changes nothing in the table or the chart.
        b.send("Q " + payload);
        QCOMPARE(b.core.m.GridRow, 3);
        QCOMPARE(b.cell(2, 0) + b.lcd(10), QStringLiteral("22"));
        QCOMPARE(b.core.Picture4.segmentCount(), qint64(1));
        const QString panelAfterQ = panel(b);
        const QString marksAfterQ = marks(b);

        b.send("P " + payload);
        QCOMPARE(b.core.m.GridRow, 1);
        QCOMPARE(b.cell(1, 0) + b.cell(2, 3) + b.lcd(10) + b.lcd(0), QString());
        QVERIFY(b.core.MSFlexGrid1->highlightedRows().isEmpty());
        QVERIFY(b.core.Picture4.runs().empty() && b.core.Picture4.texts.empty());
        QTEST(b.cell(0, 3), "header");
        QTEST(b.core.Frame1Visible, "rangeSelector");
        QCOMPARE(panel(b), panelAfterQ);
        QCOMPARE(marks(b), marksAfterQ);
    }

    void modelFrame_data()
    {
        columns<QString, QString>("content", "title");
        QTest::newRow("bare M") << "M" << "TQ8 BenchLog()";
        QTest::newRow("20 characters: first 16 kept") << "M0123456789ABCDEFGHIJ" << "TQ801 BenchLog(0123456789ABCDEF)";
        QTest::newRow("NUL, DEL and bytes above 0x7E shown as U+FFFD")
            << QStringLiteral("M0\u0000\u007F\u00E9A") << QStringLiteral("TQ80\uFFFD BenchLog(0\uFFFD\uFFFD\uFFFDA)");
    }
    void modelFrame()
    {
        QFETCH(QString, content);
        Bench b;
        b.core.cmdClear_Click();   // polling on
        b.frame(content);
        QTEST(b.core.Caption, "title");
        QVERIFY(!b.core.Timer2.isActive() && !b.core.m.PollingOn);
        QCOMPARE(b.core.m.GridRow, 1);   // the table is not touched
    }

    // After logged readings the end frame stops polling, takes the axes and
    // labels away, keeps the rows and the traces and prints how to go on;
    // more print it again at the same places, which the picture keeps once.
    void endFrameAfterReadings()
    {
        Bench b;
        b.core.cmdClear_Click();
        for (int i = 0; i < 5; ++i)
            b.frame(QStringLiteral("D1C000000FF3801F4"));
        auto &chart = b.core.chart;
        chart.lblX[7].Caption = QStringLiteral("1");
        QCOMPARE(b.core.Picture4.segmentCount(), qint64(4));
        auto printed = [&] {
            QStringList out;
            for (const auto &t : b.core.Picture4.texts)
                out << QStringLiteral("%1,%2 %3pt #%4 %5").arg(t.x).arg(t.y).arg(t.points).arg(t.rgb).arg(t.text);
            return out;
        };
        const QStringList help{QStringLiteral("1000,3000 24pt #0 1.Click \"Clear\" to empty the table,then receive"),
                               QStringLiteral("1500,3800 24pt #0 new data and draw real time line!"),
                               QStringLiteral("1000,5000 24pt #0 2.Click \"Export\" to save the data to excel!")};
        b.frame(QStringLiteral("E1234"));   // characters after the letter are ignored
        QCOMPARE(printed(), help);
        const quint64 before = b.core.Picture4.mark().prints;
        for (int i = 0; i < 1000; ++i)
            b.frame(QStringLiteral("E"));
        QCOMPARE(printed(), help);
        QStringList again;   // the last frame printed all three again
        for (const auto *t : b.core.Picture4.printedSince(before + 2997))
            again << t->text;
        QCOMPARE(again.join(u'|'), help[0].section(u' ', 3) + u'|' + help[1].section(u' ', 3) + u'|'
                                       + help[2].section(u' ', 3));
        QCOMPARE(b.core.Picture4.FontSize, 8.0);
        QCOMPARE(b.core.Picture4.segmentCount(), qint64(4));
        QCOMPARE(b.core.m.GridRow, 6);
        QCOMPARE(b.cell(5, 0) + '|' + b.cell(5, 3), QStringLiteral("5|-0.200"));
        QVERIFY(!b.core.Timer2.isActive() && !b.core.m.PollingOn);
        QVERIFY(chart.lblY[0].Caption.isEmpty() && chart.lblX[7].Caption.isEmpty() && chart.LblN[5].Caption.isEmpty());
        QVERIFY(!chart.LineY[4] && !chart.LineX[5] && !chart.LineN[0]);
    }
};

QTEST_GUILESS_MAIN(TestDecodeFrames)
#include "tst_decode_frames.moc"
