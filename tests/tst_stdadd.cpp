// The standard-addition calculator: the computation and its result texts,
// the complaints about bad input, and the window's own behaviour.
#include "shell/frmMain.h"
#include "stdadd/frmStdAdd.h"
#include "support/DataTable.h"
#include "support/FakeMeter.h"
#include "support/OwnHome.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

namespace {
const QString kComplaint = QStringLiteral("Please check out the input data,then click \"Enter\"!");
}

class TestStdAdd : public QObject
{
    Q_OBJECT
public:
    static void initMain() { useOwnHome(); }

private slots:
    // Boxes in the window's order: Vx, E1, Cs, V1, E2, V2, E3.
    void compute_data()
    {
        // result empty: the complaint
        columns<QStringList, int, QString>("boxes", "unit", "result");
        // 1.000e-3 mol/L, an electrode of 58.0 mV per decade rising with
        // concentration: worked out independently of this program.
        const QStringList sample{"100", "0", "0.1", "1", "17.2091", "1", "27.1742"};
        QTest::newRow("independent check") << sample << 0 << "Cx = 1.00E-3 mol/L";
        QTest::newRow("mg/L at or below 0.01: micrograms") << sample << 1 << "Cx = 1.0 \u03bcg/L";
        QTest::newRow("ppm at or below 0.01: ppb") << sample << 2 << "Cx = 1.0 ppb";
        QTest::newRow("leading numbers: 12abc is 12, blanks skipped")
            << QStringList{" 100mL", "0", "0.1x", "1", "17.2091", "1", "27.1742mV"} << 0 << "Cx = 1.00E-3 mol/L";
        QTest::newRow("all zeros") << QStringList(7, "0") << 0 << "";
        QTest::newRow("Vx = V1 = 0") << QStringList{"0", "0", "0.1", "0", "17", "1", "27"} << 0 << "";
        QTest::newRow("V2 = 0: no slope") << QStringList{"100", "0", "0.1", "1", "17", "0", "27"} << 0 << "";
        QTest::newRow("E3 = E2: slope 0") << QStringList{"100", "0", "0.1", "1", "17", "1", "17"} << 0 << "";
        QTest::newRow("negative concentration") << QStringList{"100", "0", "-0.1", "1", "17", "1", "27"} << 0 << "";
        QTest::newRow("10^x overflows") << QStringList{"100", "100000", "0.1", "1", "0", "1", "1"} << 0 << "";
    }
    void compute()
    {
        auto [boxes, unit, result] = fetch<QStringList, int, QString>("boxes", "unit", "result");
        RecordingPrompts prompts;
        StdAddCore c(&prompts);
        c.Form_Load();
        for (int k = 0; k < StdAddCore::kRows; ++k)
            c.Text1[std::size_t(k)] = boxes[k];
        c.Option1_Click(unit);
        c.Label2.Caption = QStringLiteral("old");
        c.cmdEnt_Click();
        QCOMPARE(c.Label2.Caption, result);
        QCOMPARE(prompts.boxes.size(), result.isEmpty() ? 1 : 0);
        if (result.isEmpty())
            QCOMPARE(prompts.boxes[0].text, kComplaint);
    }

    void resultTexts_data()
    {
        columns<double, int, QString>("cx", "unit", "text");
        QTest::newRow("1.23E-4") << 0.000123 << 0 << "Cx = 1.23E-4 mol/L";
        QTest::newRow("two-digit exponent") << 1.5e12 << 0 << "Cx = 1.50E+12 mol/L";
        QTest::newRow("mg/L exactly 0.01") << 0.01 << 1 << "Cx = 10.0 \u03bcg/L";
        QTest::newRow("mg/L 0.0101") << 0.0101 << 1 << "Cx = 0.010 mg/L";
        QTest::newRow("ppm exactly 0.01: parts per billion") << 0.01 << 2 << "Cx = 10.0 ppb";
        QTest::newRow("no unit chosen") << 2.5 << -1 << "";
    }
    void resultTexts()
    {
        auto [cx, unit] = fetch<double, int>("cx", "unit");
        QTEST(StdAddCore::resultText(cx, unit), "text");
    }

    void window()
    {
        frmMain main;
        main.core().cmdStdAdd_Click();
        auto *w = main.findChild<frmStdAdd *>();
        QVERIFY(w && w->isVisible() && !w->isModal());
        QCOMPARE(w->windowTitle(), QStringLiteral("Standard Adding Mode"));
        auto *enter = w->findChild<QPushButton *>("cmdEnt");
        QVERIFY(w->findChild<QRadioButton *>("Option1_0")->isChecked());   // mol/L to start with

        // Enter comes on with the seventh box and stays on.
        for (int k = 0; k < StdAddCore::kRows; ++k) {
            QVERIFY(!enter->isEnabled());
            QTest::keyClicks(w->findChild<QLineEdit *>(QStringLiteral("Text1_%1").arg(k)), "1");
        }
        QVERIFY(enter->isEnabled());
        w->findChild<QLineEdit *>("Text1_0")->clear();
        QVERIFY(enter->isEnabled());
        // A unit relabels row 2 only.
        w->findChild<QRadioButton *>("Option1_2")->click();
        QCOMPARE(w->findChild<QLabel *>("Label1_5")->text(), QStringLiteral("ppm"));
        QCOMPARE(w->findChild<QLabel *>("Label1_3")->text(), QStringLiteral("mV"));

        // Exit unloads; the next Std-Add starts afresh.
        QPointer<frmStdAdd> gone(w);
        w->findChild<QPushButton *>("cmdExit")->click();
        QTRY_VERIFY(!gone);
        main.core().cmdStdAdd_Click();
        w = main.findChild<frmStdAdd *>();
        QVERIFY(w && w->findChild<QLineEdit *>("Text1_1")->text().isEmpty());
        QVERIFY(!w->findChild<QPushButton *>("cmdEnt")->isEnabled());
        QCOMPARE(w->findChild<QLabel *>("Label1_5")->text(), QStringLiteral("mol/L"));
    }
};

QTEST_MAIN(TestStdAdd)
#include "tst_stdadd.moc"
