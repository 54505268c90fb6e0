// The text rules everything else leans on: number patterns, the meter's
// hexadecimal fields and the empty value.
#include "link/HexField.h"
#include "support/DataTable.h"
#include "support/OwnHome.h"
#include "text/LeadingNumber.h"
#include "text/NumberFormat.h"
#include "text/Variant.h"

#include <limits>

class TextRules : public QObject
{
    Q_OBJECT
public:
    static void initMain() { useOwnHome(); }

private slots:
    void format_data()
    {
        columns<double, QString, QString>("value", "pattern", "text");
        // Halves away from zero on the value as written, not its binary form.
        QTest::newRow("2.675 two decimals") << 2.675 << "#0.00" << "2.68";
        QTest::newRow("-0.5 whole") << -0.5 << "#0" << "-1";
        QTest::newRow("2.5 whole") << 2.5 << "#0" << "3";
        QTest::newRow("carry 999.95") << 999.95 << "#0.0" << "1000.0";
        QTest::newRow("tiny rounds up") << 0.0005 << "#0.000" << "0.001";
        QTest::newRow("far below") << 1e-9 << "#0.00" << "0.00";
        QTest::newRow("negative zero") << -0.0 << "#0.0" << "0.0";
        // A negative value keeps its sign even when it rounds to zero.
        QTest::newRow("tiny negative") << -0.04 << "#0.0" << "-0.0";
        QTest::newRow("two digits") << 5.0 << "00" << "05";
        QTest::newRow("sci carry") << 9.995e-5 << "0.00E+00" << "1.00E-04";
        QTest::newRow("sci zero") << 0.0 << "0.00E+00" << "0.00E+00";
        QTest::newRow("sci 3 digit exponent") << 1e-120 << "0.00E+00" << "1.00E-120";
        QTest::newRow("nan") << std::numeric_limits<double>::quiet_NaN() << "#0.0" << "";
        QTest::newRow("inf") << std::numeric_limits<double>::infinity() << "0.00E+00" << "";
    }
    void format()
    {
        auto [value, pattern] = fetch<double, QString>("value", "pattern");
        QTEST(Format(value, pattern), "text");
    }

    void leadingNumber_data()
    {
        columns<QString, double>("text", "value");
        QTest::newRow("unit after it") << "25.0°C(ATC)" << 25.0;
        QTest::newRow("blanks, tab and plus") << " \t+1413 uS/cm" << 1413.0;
        QTest::newRow("exponent") << "-1.06E-03mol/L" << -1.06e-3;
        QTest::newRow("exponent without digits stays out") << "2E+x" << 2.0;
        QTest::newRow("no integer digits") << ".5" << 0.5;
        QTest::newRow("point at the end") << "7." << 7.0;
        QTest::newRow("a comma is not a point") << "7,01" << 7.0;
        QTest::newRow("no digits") << "-.E5" << 0.0;
        QTest::newRow("text first") << "pH 7" << 0.0;
        QTest::newRow("too large") << "-1e999" << -std::numeric_limits<double>::infinity();
        QTest::newRow("too small") << "0.000001e-999" << 0.0;
        QTest::newRow("many digits, no exponent") << QString(400, u'9') << std::numeric_limits<double>::infinity();
    }
    void leadingNumber()
    {
        QFETCH(QString, text);
        QTEST(Val(text), "value");
    }

    void hexField_data()
    {
        columns<QString, int, int>("content", "signedValue", "packed");
        QTest::newRow("FFFF") << "DFFFF" << -1 << 65535;
        QTest::newRow("8000") << "D8000" << -32768 << 32768;
        QTest::newRow("lower case") << "Dff38" << -200 << 65336;
        QTest::newRow("stops at G") << "D12G4" << 18 << 18;
        QTest::newRow("cut short") << "DFF" << 255 << 255;
        QTest::newRow("three digits stay positive") << "DFFF" << 4095 << 4095;
        QTest::newRow("beyond the end") << "D" << 0 << 0;
        QTest::newRow("not hex") << "DXYZW" << 0 << 0;
    }
    void hexField()
    {
        QFETCH(QString, content);
        QTEST(HexSigned(content, 2), "signedValue");
        QTEST(HexPacked(content, 2), "packed");
    }

    void variantEmptyIsZeroAndBlank()
    {
        const Variant empty;
        QVERIFY(empty == 0);
        QVERIFY(empty == QString());
        QVERIFY(!(empty == 1));
        QCOMPARE(empty.toDouble(), 0.0);
        QVERIFY(Variant(0) == 0);
        QVERIFY(!(Variant(0) == QString()));
        QVERIFY(Variant(QStringLiteral("A")) == QStringLiteral("A"));
    }
};

QTEST_GUILESS_MAIN(TextRules)
#include "tst_textrules.moc"
