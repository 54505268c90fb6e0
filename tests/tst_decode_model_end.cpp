// The model frame "M" and the end frame "E" through the receive tick.
#include "support/FakeMeter.h"

#include <QtTest>

class TestDecodeModelEnd : public QObject
{
    Q_OBJECT

private slots:
    void modelFrame_data()
    {
        QTest::addColumn<QString>("content");
        QTest::addColumn<QString>("title");
        QTest::newRow("bare M") << "M" << "TQ8 BenchLog()";
        QTest::newRow("05A1.2") << "M05A1.2" << "TQ805 BenchLog(05A1.2)";
        QTest::newRow("one character") << "M7" << "TQ87 BenchLog(7)";
        QTest::newRow("20 characters: first 16 kept") << "M0123456789ABCDEFGHIJ" << "TQ801 BenchLog(0123456789ABCDEF)";
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

    void endFrameAfterReadings_data()
    {
        QTest::addColumn<QString>("content");
        QTest::addColumn<int>("frames");
        QTest::newRow("one E") << "E" << 1;
        // Printing the same help again shows nothing new; it is kept once so
        // that repeated end frames cannot grow the picture.
        QTest::newRow("two E: the same help, kept once") << "E" << 2;
        QTest::newRow("a flood of E frames") << "E" << 1000;
        QTest::newRow("characters after the letter are ignored") << "E1234" << 1;
    }
    void endFrameAfterReadings()
    {
        QFETCH(QString, content);
        QFETCH(int, frames);
        Bench b;
        b.core.cmdClear_Click();
        for (int i = 0; i < 5; ++i)
            b.frame(QStringLiteral("D1C000000FF3801F4"));
        auto &chart = b.core.chart;
        chart.lblY[0].Caption = chart.lblX[7].Caption = chart.LblN[5].Caption = QStringLiteral("1");
        chart.LineY[4] = chart.LineX[5] = chart.LineN[0] = true;
        const qint64 traced = b.core.Picture4.segmentCount();
        QCOMPARE(traced, qint64(4));

        for (int i = 0; i < frames; ++i)
            b.frame(content);

        // The readings stay for export; polling stops.
        QCOMPARE(b.core.m.GridRow, 6);
        QCOMPARE(b.cell(5, 0) + '|' + b.cell(5, 3), QStringLiteral("5|-0.200"));
        QVERIFY(!b.core.Timer2.isActive() && !b.core.m.PollingOn);
        // Axes and labels go, the traces stay, the help text goes on top.
        QVERIFY(chart.lblY[0].Caption.isEmpty() && chart.lblX[7].Caption.isEmpty() && chart.LblN[5].Caption.isEmpty());
        QVERIFY(!chart.LineY[4] && !chart.LineX[5] && !chart.LineN[0]);
        QCOMPARE(b.core.Picture4.segmentCount(), traced);
        QStringList printed;
        for (const auto &t : b.core.Picture4.texts)
            printed << QStringLiteral("%1,%2 %3pt #%4 %5").arg(t.x).arg(t.y).arg(t.points).arg(t.rgb).arg(t.text);
        const QStringList help{QStringLiteral("1000,3000 24pt #0 1.Click \"Clear\" to empty the table,then receive"),
                               QStringLiteral("1500,3800 24pt #0 new data and draw real time line!"),
                               QStringLiteral("1000,5000 24pt #0 2.Click \"Export\" to save the data to excel!")};
        QCOMPARE(printed, help);
        QCOMPARE(b.core.Picture4.FontSize, 8.0);
    }

    void endFrameOnEmptyTable()
    {
        // After a model frame polling is off; an end frame on the still empty
        // table does what Clear does.
        Bench b;
        b.frame(QStringLiteral("M05A1.2"));
        b.frame(QStringLiteral("Q600028FA08C803E8"));   // COND layout
        b.core.lcd.lblLCD[10].Caption = QStringLiteral("7");
        b.core.Picture4.Print(QStringLiteral("trace"));
        b.frame(QStringLiteral("E"));
        QCOMPARE(b.core.m.GridRow, 1);
        QCOMPARE(b.cell(0, 3), QStringLiteral("COND"));
        QCOMPARE(b.core.m.TimeBase, qint64(1));
        QVERIFY(b.core.Frame1Visible);
        QCOMPARE(b.lcd(10), QString());
        QVERIFY(b.core.Picture4.runs().empty() && b.core.Picture4.texts.empty());
        QVERIFY(b.core.chart.LineX[0] && b.core.chart.lblY[5].Caption == QStringLiteral("COND(uS)"));   // a fresh frame
        QVERIFY(b.core.Timer2.isActive() && b.core.m.PollingOn);
    }
};

QTEST_GUILESS_MAIN(TestDecodeModelEnd)
#include "tst_decode_model_end.moc"
