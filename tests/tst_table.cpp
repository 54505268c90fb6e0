// The data table: its compact store, the layouts and re-initialisation.
#include "support/DataTable.h"
#include "support/FakeMeter.h"
#include "table/RowStore.h"

namespace {
// Settings frames for each family (timer off, Celsius).
QString settingsFor(int family, char letter = 'Q')
{
    return QStringLiteral("%1%2%3").arg(QLatin1Char(letter)).arg(family * 8192, 4, 16, QLatin1Char('0')).arg("8000").toUpper();
}
}

class Table : public QObject
{
    Q_OBJECT
private slots:
    void storeKeepsWhatIsWritten()
    {
        RowStore s;
        s.setRows(5);
        s.setCell(1, 7, QStringLiteral("25.0°C(ATC)"));
        s.setCell(2, 3, QString(300, QLatin1Char('x')));   // longer than a one-byte length
        s.setCell(2, 4, QStringLiteral("after the long one"));
        s.setCell(3, 1, QStringLiteral("3-07"));
        s.setCell(1, 3, QStringLiteral("7.00"));   // back to a packed row: its other cells stay
        QCOMPARE(s.cell(1, 7), QStringLiteral("25.0°C(ATC)"));
        QCOMPARE(s.cell(2, 3).size(), 300);
        QCOMPARE(s.cell(2, 4), QStringLiteral("after the long one"));
        QCOMPARE(s.cell(3, 1), QStringLiteral("3-07"));
        QVERIFY(s.cell(4, 0).isEmpty() && s.cell(9, 0).isEmpty());   // outside reads as empty
        s.setCell(9, 0, QStringLiteral("ignored"));
        QCOMPARE(s.rows(), 5);
        s.clear();
        QCOMPARE(s.rows(), 5);
        QVERIFY(s.cell(1, 7).isEmpty() && s.cell(2, 4).isEmpty());
    }

    void layoutsByFamily_data()
    {
        columns<int, QStringList, QList<int>, bool, double, double>(
            "family", "header", "widths", "rangeShown", "valueScale", "tempScale");
        const QStringList ph{"sn", "Date", "Time", "pH", "Temp", "", "", ""};
        const QList<int> phWidths{1000, 1200, 1500, 2500, 2500};
        QTest::newRow("pH") << 0 << ph << phWidths << false << 6000.0 / 14 << 60.0;
        QTest::newRow("mV") << 1 << QStringList{"sn", "Date", "Time", "mV", "Temp", "", "", ""}
                            << QList<int>{800, 1000, 1200, 1800, 1800} << false << 1.5 << 60.0;
        QTest::newRow("ISE") << 2 << QStringList{"sn", "Date", "Time", "pX", "mol", "mg", "ppm", "Temp"}
                             << QList<int>{1000, 1000, 1200, 1000, 1200, 1500, 1500, 1500} << false << 750.0 << 60.0;
        QTest::newRow("COND") << 3 << QStringList{"sn", "Date", "Time", "COND", "RES", "TDS", "SAL", "Temp"}
                              << QList<int>{1000, 1000, 1200, 1500, 1400, 1200, 1200, 1500} << true << 3.0 << 120.0;
        QTest::newRow("DO") << 4 << QStringList{"sn", "Date", "Time", "mg/ppm", "%", "SAL", "Temp", ""}
                            << QList<int>{800, 1000, 1200, 1200, 1500, 1500, 1800, 1500} << false << 300.0 << 120.0;
    }
    void layoutsByFamily()
    {
        auto [family, header, widths, rangeShown] = fetch<int, QStringList, QList<int>, bool>(
            "family", "header", "widths", "rangeShown");
        Bench b;
        b.frame(settingsFor(family));
        b.core.cmdClear_Click();
        const FlexGrid &g = *b.core.MSFlexGrid1;
        for (int c = 0; c < 8; ++c) {
            QCOMPARE(g.TextMatrix(0, c), header[c]);
            if (c < widths.size())
                QCOMPARE(g.ColWidth(c), widths[c]);
            if (!header[c].isEmpty())
                QVERIFY(g.colCentred(c));
        }
        QCOMPARE(b.core.Frame1Visible, rangeShown);
        QCOMPARE(b.core.Option1Value, rangeShown ? 2 : -1);
        QTEST(b.core.m.ValueScale.toDouble(), "valueScale");
        QTEST(b.core.m.TempScale.toDouble(), "tempScale");
        QCOMPARE(b.core.m.TimeBase, qint64(1));
    }

    // A layout sets only what it names: a narrower one leaves the wider
    // one's widths and blanks its headings; a family without a layout still
    // empties the table, header row included, and keeps the rest.
    void relayoutKeepsWhatItDoesNotSet()
    {
        Bench b;
        b.frame(settingsFor(2));
        b.core.cmdClear_Click();
        b.frame(settingsFor(0));
        b.core.cmdClear_Click();
        const FlexGrid &g = *b.core.MSFlexGrid1;
        QVERIFY(g.TextMatrix(0, 5).isEmpty() && g.TextMatrix(0, 7).isEmpty());
        QCOMPARE(g.ColWidth(5), 1500);
        QCOMPARE(g.ColWidth(7), 1500);

        b.frame(settingsFor(3));
        b.core.cmdClear_Click();
        b.feed(kPhReading);
        b.frame(settingsFor(6));
        b.core.cmdClear_Click();
        QVERIFY(g.TextMatrix(0, 3).isEmpty() && b.cell(1, 0).isEmpty());
        QCOMPARE(g.ColWidth(4), 1400);
        QCOMPARE(b.core.m.TempScale.toDouble(), 120.0);
        QVERIFY(b.core.Frame1Visible);
        QCOMPARE(b.core.m.GridRow, 1);
    }

    void initEmptiesTheReadingFieldsOnly()
    {
        Bench b;
        b.frame(QStringLiteral("Q005A840090000000FF9C03E8"));   // marks L and H
        b.feed(kPhReading);
        b.core.lcd.lblLCD[11].Caption = QStringLiteral("-3");   // as an ion reading leaves it
        b.core.Init_FlexGrid();
        for (int i : {0, 1, 2, 3, 4, 5, 6, 10, 11})
            QVERIFY2(b.lcd(i).isEmpty(), qPrintable(QString::number(i)));
        QCOMPARE(b.lcd(7), QStringLiteral("L"));
        QCOMPARE(b.lcd(9), QStringLiteral("H"));
    }
};

QTEST_GUILESS_MAIN(Table)
#include "tst_table.moc"
