// A stored row's cells read straight from its JSON text: where the quick
// reader takes a body, its cells are those a full JSON parser gives; what it
// does not fully understand it leaves to that parser.
#include "record/RowCells.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

namespace {

// JSON written with ' for " (none of these bodies holds a ').
QByteArray j(const char *text)
{
    return QByteArray(text).replace('\'', '"');
}

QStringList parsed(const QByteArray &body)
{
    const QJsonArray a = QJsonDocument::fromJson(body).object().value(QStringLiteral("cells")).toArray();
    QStringList cells;
    for (int c = 0; c < 8; ++c)
        cells << (c < a.size() ? a[c].toString() : QString());
    return cells;
}

} // namespace

class TestRowCells : public QObject
{
    Q_OBJECT

private slots:
    void matchesParser_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<bool>("taken");
        const QByteArray row = j("{'cells':['1','3-07','0:00:01','1401 uS/cm','714 R.cm','980 mg/L','0.70 ppt',"
                                 "'25.1\u00b0C(ATC)'],'mode':9,'received':'2024-05-01T10:00:00.000+02:00','row':1,"
                                 "'settings':3}");
        QTest::newRow("as recorded") << row << true;
        QTest::newRow("fields before and after, nested")
            << j("{'a':{'b':[1,-2.5,true,false,null,{}],'c':[]},'cells':['x'],'z':{'y':'w'}}") << true;
        QTest::newRow("escapes")
            << j("{'cells':['say \\'hi\\'','a\\\\b','x\\/y','l1\\nl2\\tt\\r\\b\\f','\\u00e9\\u00B5S',"
                 "'\\ud83d\\ude00','\\u0000']}")
            << true;
        QTest::newRow("raw unicode") << j("{'cells':['\xc2\xb5S/cm','\xe6\x97\xa5\xe6\x9c\xac','\xf0\x9f\x98\x80']}")
                                     << true;
        QTest::newRow("empty and few cells") << j("{'cells':['','','']}") << true;
        QTest::newRow("more than eight") << j("{'cells':['1','2','3','4','5','6','7','8','9','10']}") << true;
        QTest::newRow("cells that are no strings") << j("{'cells':[1,null,['a'],{'b':'c'},'e',true,0.5,'h']}") << true;
        QTest::newRow("cells no array") << j("{'cells':'abc'}") << true;
        QTest::newRow("no cells") << j("{'row':1}") << true;
        QTest::newRow("empty object") << j("{}") << true;
        QTest::newRow("key with an escape") << j("{'c\\u0065lls':['k']}") << true;
        QTest::newRow("cells inside another field") << j("{'x':{'cells':['no']},'cells':['yes']}") << true;

        // Left to the parser.
        QTest::newRow("whitespace") << j("{ 'cells': ['a'] }") << false;
        QTest::newRow("exponent") << j("{'n':1e5,'cells':['a']}") << false;
        QTest::newRow("leading zero") << j("{'n':01,'cells':['a']}") << false;
        QTest::newRow("lone surrogate") << j("{'cells':['\\ud800x']}") << false;
        QTest::newRow("control character") << j("{'cells':['a\tb']}") << false;
        QTest::newRow("overlong UTF-8") << j("{'cells':['\xc0\x80']}") << false;
        QTest::newRow("stray continuation") << j("{'cells':['\x80']}") << false;
        QTest::newRow("cut sequence") << j("{'cells':['\xe6\x97']}") << false;
        QTest::newRow("byte order mark") << j("{'cells':['\xef\xbb\xbf" "a']}") << false;
        QTest::newRow("bad escape") << j("{'cells':['\\x41']}") << false;
        QTest::newRow("cells twice") << j("{'cells':['a'],'cells':['b']}") << false;
        QTest::newRow("text after") << j("{'cells':['a']}x") << false;
        QTest::newRow("cut short") << j("{'cells':['a'") << false;
        QTest::newRow("trailing comma") << j("{'cells':['a',]}") << false;
        QTest::newRow("an array") << j("[{'cells':['a']}]") << false;
        QTest::newRow("empty") << QByteArray() << false;
    }
    void matchesParser()
    {
        QFETCH(QByteArray, body);
        QFETCH(bool, taken);
        rowcells::Cells cells;
        std::string scratch;
        QCOMPARE(rowcells::scan(std::string_view(body.constData(), std::size_t(body.size())), cells, scratch), taken);
        if (!taken)
            return;
        QStringList got;
        for (std::string_view c : cells)
            got << QString::fromUtf8(c.data(), qsizetype(c.size()));
        QCOMPARE(got, parsed(body));
    }
};

QTEST_GUILESS_MAIN(TestRowCells)
#include "tst_rowcells.moc"
