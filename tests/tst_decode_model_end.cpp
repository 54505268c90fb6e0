// The model frame "M" and the end frame "E" through the receive tick.
#include "support/FakeMeter.h"

#include <QtTest>

class TestDecodeModelEnd : public QObject
{
    Q_OBJECT

private slots:
    void modelFrame_data();
    void modelFrame();
    void endFrameAfterReadings_data();
    void endFrameAfterReadings();
    void endFrameOnEmptyTable();
};

void TestDecodeModelEnd::modelFrame_data()
{
    QTest::addColumn<QString>("content");
    QTest::addColumn<QString>("title");

    QTest::newRow("bare M") << "M" << "TQ8 BenchLog()";
    QTest::newRow("05A1.2") << "M05A1.2" << "TQ805 BenchLog(05A1.2)";
    QTest::newRow("one character") << "M7" << "TQ87 BenchLog(7)";
    QTest::newRow("20 characters: first 16 kept") << "M0123456789ABCDEFGHIJ" << "TQ801 BenchLog(0123456789ABCDEF)";
}

void TestDecodeModelEnd::modelFrame()
{
    QFETCH(QString, content);
    Bench b;
    b.core.cmdClear_Click();   // polling on
    QVERIFY(b.core.Timer2.isActive());
    b.frame(content);
    QTEST(b.core.Caption, "title");
    QVERIFY(!b.core.Timer2.isActive());
    QVERIFY(!b.core.m.PollingOn);
    QCOMPARE(b.core.m.GridRow, 1);   // the table is not touched
}

void TestDecodeModelEnd::endFrameAfterReadings_data()
{
    QTest::addColumn<QString>("content");
    QTest::addColumn<int>("frames");

    QTest::newRow("one E") << "E" << 1;
    QTest::newRow("two E: printed twice at the same places") << "E" << 2;
    QTest::newRow("characters after the letter are ignored") << "E1234" << 1;
}

void TestDecodeModelEnd::endFrameAfterReadings()
{
    QFETCH(QString, content);
    QFETCH(int, frames);
    Bench b;
    b.core.cmdClear_Click();
    for (int i = 0; i < 5; ++i)
        b.frame(QStringLiteral("D1C000000FF3801F4"));
    auto &chart = b.core.chart;
    chart.lblY[0].Caption = QStringLiteral("14");
    chart.lblX[7].Caption = QStringLiteral("0:30");
    chart.LblN[5].Caption = QStringLiteral("100");
    chart.LineY[4] = chart.LineX[5] = chart.LineN[0] = true;
    b.core.Picture4.lines.push_back({500, 6500, 800, 6000, 0xFF0000});

    for (int i = 0; i < frames; ++i)
        b.frame(content);

    // The readings stay for export.
    QCOMPARE(b.core.m.GridRow, 6);
    QCOMPARE(b.cell(5, 0), QStringLiteral("5"));
    QCOMPARE(b.cell(5, 3), QStringLiteral("-0.200"));
    // Axes and labels go, the traces stay, the help text goes on top.
    QVERIFY(chart.lblY[0].Caption.isEmpty() && chart.lblX[7].Caption.isEmpty() && chart.LblN[5].Caption.isEmpty());
    QVERIFY(!chart.LineY[4] && !chart.LineX[5] && !chart.LineN[0]);
    QCOMPARE(b.core.Picture4.lines.size(), std::size_t(1));
    const auto &texts = b.core.Picture4.texts;
    QCOMPARE(int(texts.size()), 3 * frames);
    const struct { double x, y; QString text; } help[3] = {
        {1000, 3000, QStringLiteral("1.Click \"Clear\" to empty the table,then receive")},
        {1500, 3800, QStringLiteral("new data and draw real time line!")},
        {1000, 5000, QStringLiteral("2.Click \"Export\" to save the data to excel!")},
    };
    for (int i = 0; i < int(texts.size()); ++i) {
        QCOMPARE(texts[std::size_t(i)].x, help[i % 3].x);
        QCOMPARE(texts[std::size_t(i)].y, help[i % 3].y);
        QCOMPARE(texts[std::size_t(i)].text, help[i % 3].text);
        QCOMPARE(texts[std::size_t(i)].points, 24.0);
        QCOMPARE(texts[std::size_t(i)].rgb, quint32(0x000000));
    }
    QCOMPARE(b.core.Picture4.FontSize, 8.0);
    QVERIFY(!b.core.Timer2.isActive());
    QVERIFY(!b.core.m.PollingOn);
}

void TestDecodeModelEnd::endFrameOnEmptyTable()
{
    // After a model frame polling is off; an end frame on the still empty
    // table does what Clear does.
    Bench b;
    b.frame(QStringLiteral("M05A1.2"));
    b.frame(QStringLiteral("Q600028FA08C803E8"));   // COND layout
    b.core.lcd.lblLCD[10].Caption = QStringLiteral("7");
    b.core.Picture4.lines.push_back({500, 6500, 800, 6000, 0xFF0000});
    QVERIFY(!b.core.Timer2.isActive());

    b.frame(QStringLiteral("E"));
    QCOMPARE(b.core.m.GridRow, 1);
    QCOMPARE(b.cell(0, 3), QStringLiteral("COND"));
    QCOMPARE(b.core.m.TimeBase, qint16(1));
    QVERIFY(b.core.Frame1Visible);
    QCOMPARE(b.lcd(10), QString());
    QVERIFY(b.core.Picture4.lines.empty());
    QVERIFY(b.core.Timer2.isActive());
    QVERIFY(b.core.m.PollingOn);
    QVERIFY(b.core.Picture4.texts.empty());
}

QTEST_GUILESS_MAIN(TestDecodeModelEnd)
#include "tst_decode_model_end.moc"
