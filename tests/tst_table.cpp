// The data table: its compact store, the layouts and re-initialisation.
#include "support/DataTable.h"
#include "support/FakeMeter.h"
#include "support/OwnHome.h"
#include "table/RowStore.h"

namespace {
// A step on a store: write `text` into (row, col), or with col -1 set the
// row count to `row`.
struct StoreStep
{
    int row, col;
    QString text;
};
using StoreSteps = QList<StoreStep>;

// A conductivity row as the table has it, varying like readings do.
StoreSteps readingRows(int from, int to)
{
    StoreSteps steps;
    for (int r = from; r <= to; ++r) {
        const QStringList cells{QString::number(r), "3-07", QStringLiteral("9:%1:%2").arg(r / 60 % 60).arg(r % 60, 2, 10, QLatin1Char('0')),
                                QStringLiteral("1.%1 mS/cm").arg(400 + r % 37), QStringLiteral("%1 R.cm").arg(700 - r % 37),
                                "0.70 ppt", "", QStringLiteral("25.%1°C(ATC)").arg(r % 10)};
        for (int c = 0; c < 8; ++c)
            if (!cells[c].isEmpty())
                steps.append({r, c, cells[c]});
    }
    return steps;
}

// Settings frames for each family (timer off, Celsius).
QString settingsFor(int family, char letter = 'Q')
{
    return QStringLiteral("%1%2%3").arg(QLatin1Char(letter)).arg(family * 8192, 4, 16, QLatin1Char('0')).arg("8000").toUpper();
}
}

class Table : public QObject
{
    Q_OBJECT
public:
    static void initMain() { useOwnHome(); }

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

    // Whatever is written reads back exactly, wherever it lies: in the row
    // being written, in the block being filled, in a packed block, read in
    // order or out of it, rewritten after its block was packed.
    void storeRoundTrips_data()
    {
        columns<int, StoreSteps>("rows", "steps");
        QTest::newRow("readings across blocks") << 30100 << readingRows(1, 30000);
        const QString wide = QString(3000, QChar(0x03A9)) + QStringLiteral("😀").repeated(40000);
        QTest::newRow("long and non-Latin-1 texts, packed")
            << 2100
            << (StoreSteps{{3, 1, QString(300, u'x')}, {3, 2, wide}, {3, 3, "after the long ones"}, {4, 0, "温度 µS/cm Ω"},
                           {1500, 6, QString(254, u'y')}, {1500, 7, QString(255, u'z')}}
                + readingRows(2000, 2050));
        QTest::newRow("empty cells and rows")
            << 3000
            << (StoreSteps{{5, 7, "only the last"}, {6, 3, "gone again"}, {6, 3, ""}, {1023, 0, "block end"},
                           {1024, 0, "block start"}, {2999, 4, "last row"}});
        QTest::newRow("back to packed rows")
            << 3000
            << (readingRows(1, 2100) + StoreSteps{{5, 3, "rewritten"}, {1030, 0, ""}, {1030, 6, "new cell"}}
                + readingRows(2101, 2200) + StoreSteps{{7, 7, "and again"}});
        QTest::newRow("shrunk and grown")
            << 3000
            << (readingRows(1, 2500) + StoreSteps{{1500, -1, ""}, {1501, 3, "out of range"}, {2600, -1, ""}}
                + readingRows(1600, 1700) + StoreSteps{{40, -1, ""}, {3000, -1, ""}, {20, 2, "kept"}});
    }
    void storeRoundTrips()
    {
        auto [rows, steps] = fetch<int, StoreSteps>("rows", "steps");
        RowStore s;
        s.setRows(rows);
        QHash<QPair<int, int>, QString> expected;
        int count = rows;
        for (const StoreStep &step : steps) {
            if (step.col < 0) {
                s.setRows(step.row);
                count = step.row;
                expected.removeIf([&](const auto &e) { return e.key().first >= count; });
                continue;
            }
            s.setCell(step.row, step.col, step.text);
            if (step.row < count)
                expected[{step.row, step.col}] = step.text;
        }
        QCOMPARE(s.rows(), count);
        // A long log of readings is packed well below its texts' size.
        if (QTest::currentDataTag() == QLatin1String("readings across blocks")) {
            std::size_t texts = 0;
            for (const QString &t : std::as_const(expected))
                texts += std::size_t(t.toUtf8().size()) + 1;
            QVERIFY2(s.memoryBytes() * 3 < texts, qPrintable(QStringLiteral("%1 of %2").arg(s.memoryBytes()).arg(texts)));
        }
        // Backwards, then forwards: every cell, none made up.
        for (int pass = 0; pass < 2; ++pass)
            for (int i = 0; i < count + 2; ++i) {
                const int r = pass == 0 ? count + 1 - i : i;
                for (int c = 0; c < 8; ++c)
                    if (s.cell(r, c) != expected.value({r, c}))
                        QFAIL(qPrintable(QStringLiteral("row %1 column %2: \"%3\" read as \"%4\"")
                                             .arg(r).arg(c).arg(expected.value({r, c}).left(40), s.cell(r, c).left(40))));
            }
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
