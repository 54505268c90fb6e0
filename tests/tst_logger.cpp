// The headless logger's parts: the CSV writer, the state snapshot it prints,
// and the session that plays the user (auto-Clear, events, stop conditions).
// The core is driven through a scripted serial link, one receive tick at a
// time, with reading frames built here from the field layouts.

#include "shell/HeadlessSession.h"
#include "shell/MainCore.h"
#include "shell/SerialLink.h"
#include "shell/StateSnapshot.h"
#include "shell/UiPrompts.h"
#include "table/CsvLog.h"

#include <QBuffer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

namespace {

class FakeLink : public SerialLink
{
public:
    bool open(const QString &device) override
    {
        if (refuse)
            return false;
        open_ = true;
        device_ = device;
        return true;
    }
    void close() override { open_ = false; }
    bool isOpen() const override { return open_; }
    QByteArray readAll() override { return std::exchange(queued, {}); }
    void write(const QByteArray &data) override { written << data; }
    QString device() const override { return device_; }
    void unplug(const QString &why)
    {
        open_ = false;
        emit lost(why);
    }

    bool refuse = false;
    QByteArray queued;
    QList<QByteArray> written;

private:
    bool open_ = false;
    QString device_;
};

class RecordingPrompts : public UiPrompts
{
public:
    void MsgBox(const QString &text, Icon) override { messages << text; }
    QStringList messages;
};

QString hex4(int v)
{
    return QStringLiteral("%1").arg(v & 0xFFFF, 4, 16, QLatin1Char('0')).toUpper();
}

// A "D" frame: mode/decimals/month/second word, day/hour/minute word, the
// signed main value, and a temperature word (range, MTC flag, tenths + 500).
QByteArray reading(int mode, int decimals, int month, int second, int day, int hour, int minute, int value,
                   int tempTenths, bool mtc = false, int range = 0)
{
    const int w1 = mode << 12 | decimals << 10 | month << 6 | second;
    const int w2 = day << 11 | hour << 6 | minute;
    const int tw = range << 12 | int(mtc) << 11 | (tempTenths + 500);
    return ("<D" + hex4(w1) + hex4(w2) + hex4(value) + hex4(tw) + ">").toLatin1();
}

// pH 7.00 on 3-07 at 9:05:<second>, 25.0 °C automatic compensation.
QByteArray phReading(int second = 45)
{
    return reading(1, 2, 3, second, 7, 9, 5, 7000, 250);
}

QStringList texts(const QJsonValue &v)
{
    QStringList out;
    for (const QJsonValue &e : v.toArray())
        out << e.toString();
    return out;
}

QList<QJsonObject> jsonLines(const QByteArray &out)
{
    QList<QJsonObject> objects;
    for (const QByteArray &line : out.split('\n')) {
        if (line.isEmpty())
            continue;
        QJsonParseError err;
        const QJsonDocument doc = QJsonDocument::fromJson(line, &err);
        if (err.error != QJsonParseError::NoError || !doc.isObject())
            qWarning("not a JSON object: %s", line.constData());
        objects << doc.object();
    }
    return objects;
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

// The core on a fake port, opened as the logger opens it.
struct Bench
{
    FakeLink link;
    RecordingPrompts prompts;
    MainCore core{&link, &prompts};

    void openPort()
    {
        core.Form_Load();
        core.Combo1Text = QStringLiteral("/dev/fake0");
        core.cmdComm_Click();
    }
    void tick(const QByteArray &bytes)
    {
        link.queued += bytes;
        core.Timer1_Timer();
    }
};

const QStringList kPhHeader{"sn", "Date", "Time", "pH", "Temp", "", "", ""};

} // namespace

class TestLogger : public QObject
{
    Q_OBJECT

private slots:
    // CsvLog
    void csvLine_data();
    void csvLine();
    void csvHeaderOnlyWhenChanged();
    void csvAppendsAndIsReadableAtOnce();
    void csvOpenFails();

    // stateSnapshot
    void snapshotAfterStartUp();
    void snapshotOfReading_data();
    void snapshotOfReading();
    void snapshotTablePosition();
    void snapshotLayoutAndTitle_data();
    void snapshotLayoutAndTitle();

    // HeadlessSession
    void sessionDoesNotStartOnClosedPort();
    void autoClear_data();
    void autoClear();
    void sessionEventsAndCsv();
    void rowLimitEndsExactly();
    void stopAndTimeLimit();
    void lostPort();
};

void TestLogger::csvLine_data()
{
    QTest::addColumn<QStringList>("fields");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("plain") << QStringList{"1", "3-07", "9:05:45"} << QByteArray("1,3-07,9:05:45\r\n");
    QTest::newRow("empty fields kept") << QStringList{"", "a", ""} << QByteArray(",a,\r\n");
    QTest::newRow("comma") << QStringList{"1,5", "x"} << QByteArray("\"1,5\",x\r\n");
    QTest::newRow("quotes doubled") << QStringList{"say \"hi\""} << QByteArray("\"say \"\"hi\"\"\"\r\n");
    QTest::newRow("lone quote") << QStringList{"\""} << QByteArray("\"\"\"\"\r\n");
    QTest::newRow("LF") << QStringList{"a\nb"} << QByteArray("\"a\nb\"\r\n");
    QTest::newRow("CR") << QStringList{"a\rb"} << QByteArray("\"a\rb\"\r\n");
    QTest::newRow("blanks and semicolons unquoted") << QStringList{" mg/L", "a;b"} << QByteArray(" mg/L,a;b\r\n");
    QTest::newRow("degree as UTF-8") << QStringList{"25.0°C(ATC)"} << QByteArray("25.0\xC2\xB0" "C(ATC)\r\n");
}

void TestLogger::csvLine()
{
    QFETCH(QStringList, fields);
    QFETCH(QByteArray, expected);
    // Through the file, so the encoding on disk is what gets checked.
    QTemporaryDir dir;
    const QString path = dir.filePath("log.csv");
    CsvLog log;
    QVERIFY(log.open(path));
    QVERIFY(log.appendRow(QStringList{"h"}, fields));
    log.close();
    QCOMPARE(readFile(path), QByteArray("h\r\n") + expected);
}

void TestLogger::csvHeaderOnlyWhenChanged()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("log.csv");
    const QStringList a{"sn", "pH"}, b{"sn", "COND"};
    CsvLog log;
    QVERIFY(log.open(path));
    for (const auto &[header, cell] : {std::pair{a, "1"}, {a, "2"}, {b, "3"}, {b, "4"}, {a, "5"}})
        QVERIFY(log.appendRow(header, QStringList{cell, "x"}));
    log.close();
    QCOMPARE(readFile(path), QByteArray("sn,pH\r\n1,x\r\n2,x\r\nsn,COND\r\n3,x\r\n4,x\r\nsn,pH\r\n5,x\r\n"));
}

void TestLogger::csvAppendsAndIsReadableAtOnce()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("log.csv");
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("sn,pH\r\n1,7.00\r\n");
    }
    CsvLog log;
    QVERIFY(log.open(path));
    QVERIFY(log.appendRow(QStringList{"sn", "pH"}, QStringList{"1", "6.99"}));
    // Still open: a reader tailing the file must see the row already.
    QCOMPARE(readFile(path), QByteArray("sn,pH\r\n1,7.00\r\nsn,pH\r\n1,6.99\r\n"));
    QVERIFY(log.appendRow(QStringList{"sn", "pH"}, QStringList{"2", "6.98"}));
    QVERIFY(readFile(path).endsWith("1,6.99\r\n2,6.98\r\n"));
}

void TestLogger::csvOpenFails()
{
    QTemporaryDir dir;
    CsvLog log;
    QVERIFY(!log.open(dir.filePath("missing/dir/log.csv")));
    QVERIFY(!log.errorString().isEmpty());
    QVERIFY(!log.appendRow(QStringList{"h"}, QStringList{"1"}));
}

void TestLogger::snapshotAfterStartUp()
{
    Bench b;
    b.core.Form_Load();
    const QJsonObject s = stateSnapshot(b.core, 0);
    QCOMPARE(s["title"].toString(), QString("Form1"));
    QCOMPARE(texts(s["lcd"]), QStringList(12, QString()));
    QCOMPARE(s["circles"].toArray(), (QJsonArray{false, false, false}));
    QCOMPARE(s["panel"].toArray().size(), 7);
    for (const QJsonValue &row : s["panel"].toArray())
        QCOMPARE(row.toArray(), (QJsonArray{"", "", false}));
    QCOMPARE(texts(s["header"]), QStringList(8, QString()));
    QVERIFY(s["row"].isNull());
    QVERIFY(s["cells"].isNull());
    QCOMPARE(s["grid_row"].toInt(), 1);
    QCOMPARE(s["rows"].toInt(), 12);
    QCOMPARE(s["top_row"].toInt(), 1);
    QVERIFY(s["highlight"].isNull());
    QCOMPARE(s["polling"].toBool(), false);
    QCOMPARE(s["poll_timer"].toBool(), false);
    QCOMPARE(s["poll_command"].toString(), QString("A"));
    QCOMPARE(s["buttons"].toObject(),
             (QJsonObject{{"clear", false}, {"export", false}, {"std_add", false}}));
    QCOMPARE(s["range"].toObject(), (QJsonObject{{"visible", true}, {"selected", QJsonValue()}}));
}

void TestLogger::snapshotOfReading_data()
{
    // The decoders have their own tests; these rows only make sure each part
    // of what a reading changes reaches the snapshot in the right place.
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<bool>("oxygenMeter");   // DO family, Celsius, 2-decimal resolution
    QTest::addColumn<QStringList>("cells");
    QTest::addColumn<QStringList>("lcd234");
    QTest::addColumn<QJsonArray>("panelRow2");

    QTest::newRow("pH before any settings: Fahrenheit, column 4")
        << phReading() << false << QStringList{"1", "3-07", "9:05:45", "7.00", "77.0°F(ATC)", "", "", ""}
        << QStringList{"7.00", "pH", "77.0°F"} << QJsonArray{"", "", false};
    QTest::newRow("dissolved oxygen fills the panel's air pressure")
        << QByteArray("<DD0ED3A45033903B903F5000002EE>") << true
        << QStringList{"1", "3-07", "9:05:45", "8.25", "95.3", "0ppt", "25.0°C(ATC)", ""}
        << QStringList{"8.25", "mg/L", "25.0°C"} << QJsonArray{"A.P.", "101.3kPa", true};
}

void TestLogger::snapshotOfReading()
{
    QFETCH(QByteArray, frame);
    QFETCH(bool, oxygenMeter);
    QFETCH(QStringList, cells);
    QFETCH(QStringList, lcd234);
    QFETCH(QJsonArray, panelRow2);

    Bench b;
    b.openPort();
    if (oxygenMeter) {
        b.core.m.MeterFamily = 4;
        b.core.m.TempUnit = 1;
        b.core.m.DoResCode = 2;
    }

    int written = -1;
    QJsonObject s;
    connect(&b.core, &MainCore::frameHandled, &b.core, [&] {
        written = b.core.rowWrittenByFrame();
        s = stateSnapshot(b.core, written);
    });
    b.tick(frame);
    QCOMPARE(written, 1);
    QCOMPARE(s["row"].toInt(), 1);
    QCOMPARE(texts(s["cells"]), cells);
    const QStringList lcd = texts(s["lcd"]);
    QCOMPARE(lcd.mid(2, 3), lcd234);
    QCOMPARE(lcd[10], QString("1"));
    QCOMPARE(s["panel"].toArray()[2].toArray(), panelRow2);
    QCOMPARE(s["grid_row"].toInt(), 2);
    QCOMPARE(s["highlight"].toInt(), 1);
    QCOMPARE(s["poll_command"].toString(), QString());
}

void TestLogger::snapshotTablePosition()
{
    Bench b;
    b.openPort();
    b.core.cmdClear_Click();
    b.tick(phReading(1));
    b.tick(phReading(2));
    QJsonObject s = stateSnapshot(b.core, 0);
    QCOMPARE(s["highlight"].toInt(), 2);   // row 1 gave the highlight up
    QCOMPARE(s["grid_row"].toInt(), 3);
    // Asking for an earlier row spells out that row.
    QCOMPARE(texts(stateSnapshot(b.core, 1)["cells"])[2], QString("9:05:01"));
    // Rows that do not exist read as none.
    QVERIFY(stateSnapshot(b.core, b.core.MSFlexGrid1->Rows())["cells"].isNull());

    for (int i = 3; i <= 10; ++i)
        b.tick(phReading(i));
    s = stateSnapshot(b.core, 0);
    QCOMPARE(s["grid_row"].toInt(), 11);
    QCOMPARE(s["rows"].toInt(), 13);
    QCOMPARE(s["top_row"].toInt(), 2);
    b.tick(phReading(11));
    s = stateSnapshot(b.core, 0);
    QCOMPARE(s["rows"].toInt(), 14);
    QCOMPARE(s["top_row"].toInt(), 3);
    QCOMPARE(s["highlight"].toInt(), 11);

    // Should more than one row carry the highlight, the bottom one is reported.
    b.core.MSFlexGrid1->setCellBackColor(4, 3, FlexGrid::Shade::Highlight);
    QCOMPARE(stateSnapshot(b.core, 0)["highlight"].toInt(), 11);
    b.core.MSFlexGrid1->setCellBackColor(12, 5, FlexGrid::Shade::Highlight);
    QCOMPARE(stateSnapshot(b.core, 0)["highlight"].toInt(), 12);
}

void TestLogger::snapshotLayoutAndTitle_data()
{
    QTest::addColumn<int>("family");
    QTest::addColumn<QStringList>("header");
    QTest::addColumn<QJsonObject>("range");
    QTest::newRow("pH") << 0 << kPhHeader << QJsonObject{{"visible", false}, {"selected", QJsonValue()}};
    QTest::newRow("COND selects its default range")
        << 3 << QStringList{"sn", "Date", "Time", "COND", "RES", "TDS", "SAL", "Temp"}
        << QJsonObject{{"visible", true}, {"selected", 2}};
}

void TestLogger::snapshotLayoutAndTitle()
{
    QFETCH(int, family);
    QFETCH(QStringList, header);
    QFETCH(QJsonObject, range);
    Bench b;
    b.openPort();
    QJsonObject s = stateSnapshot(b.core, 0);
    QCOMPARE(s["buttons"].toObject(), (QJsonObject{{"clear", true}, {"export", true}, {"std_add", false}}));
    QCOMPARE(s["poll_timer"].toBool(), true);
    QCOMPARE(s["polling"].toBool(), false);

    b.tick("<M05A1.2>");
    s = stateSnapshot(b.core, 0);
    QCOMPARE(s["title"].toString(), QString("TQ805 BenchLog(05A1.2)"));
    QCOMPARE(s["poll_timer"].toBool(), false);
    QCOMPARE(s["poll_command"].toString(), QString());

    b.core.m.MeterFamily = family;
    b.core.cmdClear_Click();
    s = stateSnapshot(b.core, 0);
    QCOMPARE(texts(s["header"]), header);
    QCOMPARE(s["range"].toObject(), range);
    QCOMPARE(s["polling"].toBool(), true);
    QCOMPARE(s["poll_timer"].toBool(), true);
}

void TestLogger::sessionDoesNotStartOnClosedPort()
{
    Bench b;
    b.link.refuse = true;
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    HeadlessSession session(b.core);
    session.setJsonOutput(&out);
    QVERIFY(!session.start(QStringLiteral("/dev/fake0")));
    QVERIFY(!session.isRunning());
    QCOMPARE(b.prompts.messages.size(), 1);
    QVERIFY(out.data().isEmpty());
    b.tick("<M05>");   // an idle session presses nothing
    QCOMPARE(b.core.m.PollingOn, false);
}

void TestLogger::autoClear_data()
{
    QTest::addColumn<QList<QByteArray>>("ticks");
    QTest::addColumn<int>("clears");
    QTest::addColumn<int>("gridRow");
    const QByteArray d = phReading();
    QTest::newRow("model frame alone") << QList<QByteArray>{"<M05A1.2>"} << 1 << 1;
    QTest::newRow("end frame in the same tick restarts polling") << QList<QByteArray>{"<M05A1.2><E>"} << 0 << 1;
    QTest::newRow("end frame in the next tick") << QList<QByteArray>{"<M05A1.2>", "<E>"} << 1 << 1;
    QTest::newRow("end frame alone") << QList<QByteArray>{"<E>"} << 0 << 1;
    QTest::newRow("reading alone") << QList<QByteArray>{d} << 0 << 2;
    QTest::newRow("reading after the model, same tick") << QList<QByteArray>{"<M05>" + d} << 1 << 1;
    QTest::newRow("model after logged rows starts afresh") << QList<QByteArray>{"<E>", d, d, "<M05>"} << 1 << 1;
    QTest::newRow("end with rows stops polling, but no model")
        << QList<QByteArray>{"<E>", d, "<E>"} << 0 << 2;
    QTest::newRow("lower-case m is no model frame") << QList<QByteArray>{"<m05>"} << 0 << 1;
}

void TestLogger::autoClear()
{
    QFETCH(QList<QByteArray>, ticks);
    QFETCH(int, clears);
    QFETCH(int, gridRow);
    Bench b;
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    HeadlessSession session(b.core);
    session.setJsonOutput(&out);
    QVERIFY(session.start(QStringLiteral("/dev/fake0")));
    for (const QByteArray &t : ticks)
        b.tick(t);

    int seen = 0;
    for (const QJsonObject &o : jsonLines(out.data())) {
        if (o["event"].toString() != QLatin1String("Clear"))
            continue;
        ++seen;
        QVERIFY(o["row"].isNull());
        QCOMPARE(o["polling"].toBool(), true);
        QCOMPARE(o["grid_row"].toInt(), 1);
        QCOMPARE(texts(o["header"]), kPhHeader);
    }
    QCOMPARE(seen, clears);
    QCOMPARE(b.core.m.GridRow, gridRow);
    if (clears > 0)
        QVERIFY(b.core.Timer2.isActive());
}

void TestLogger::sessionEventsAndCsv()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("log.csv");
    CsvLog csv;
    QVERIFY(csv.open(path));
    Bench b;
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    HeadlessSession session(b.core);
    session.setJsonOutput(&out);
    session.setCsvLog(&csv);
    QVERIFY(session.start(QStringLiteral("/dev/fake0")));
    b.tick("<M05A1.2>");
    b.tick("noise" + phReading(1) + "<X>");
    b.tick(phReading(2));

    const QByteArray raw = out.data();
    QVERIFY(raw.endsWith('\n'));
    for (const QByteArray &line : raw.split('\n'))
        QVERIFY2(line.isEmpty() || line.startsWith("{\"event\":\""), line.constData());
    const QList<QJsonObject> ev = jsonLines(raw);
    QStringList kinds;
    for (const QJsonObject &o : ev)
        kinds << o["event"].toString() + QLatin1Char(' ') + o["frame"].toString();
    auto content = [](const QByteArray &frame) { return QString::fromLatin1(frame.mid(1).chopped(1)); };
    QCOMPARE(kinds, (QStringList{"open ", "frame M05A1.2", "Clear ", "frame " + content(phReading(1)), "frame X",
                                 "frame " + content(phReading(2))}));
    QCOMPARE(ev[0]["poll_command"].toString(), QString("A"));
    QVERIFY(ev[1]["row"].isNull());
    QCOMPARE(ev[3]["row"].toInt(), 1);
    QCOMPARE(texts(ev[3]["cells"]), (QStringList{"1", "3-07", "9:05:01", "7.00", "77.0°F(ATC)", "", "", ""}));
    QVERIFY(ev[4]["row"].isNull());   // the unknown frame wrote nothing
    QCOMPARE(ev[5]["row"].toInt(), 2);
    QCOMPARE(session.rowsCompleted(), 2);

    QCOMPARE(readFile(path), QByteArray("sn,Date,Time,pH,Temp,,,\r\n"
                                        "1,3-07,9:05:01,7.00,77.0\xC2\xB0" "F(ATC),,,\r\n"
                                        "2,3-07,9:05:02,7.00,77.0\xC2\xB0" "F(ATC),,,\r\n"));
}

void TestLogger::rowLimitEndsExactly()
{
    QTemporaryDir dir;
    CsvLog csv;
    QVERIFY(csv.open(dir.filePath("log.csv")));
    Bench b;
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    HeadlessSession session(b.core);
    session.setJsonOutput(&out);
    session.setCsvLog(&csv);
    session.setRowLimit(2);
    QSignalSpy finished(&session, &HeadlessSession::finished);
    QVERIFY(session.start(QStringLiteral("/dev/fake0")));
    b.tick("<E>" + phReading(1));
    QCOMPARE(finished.size(), 0);
    // Three readings in one tick: the second ends the session, the third is
    // neither reported nor logged.
    b.tick(phReading(2) + phReading(3) + phReading(4));
    QCOMPARE(finished.size(), 1);
    QCOMPARE(finished[0][0].toInt(), 0);
    QCOMPARE(b.link.written.count("@B#"), 1);
    QVERIFY(!b.core.Timer2.isActive());
    QCOMPARE(session.rowsCompleted(), 2);
    const QList<QJsonObject> ev = jsonLines(out.data());
    QCOMPARE(ev.last()["row"].toInt(), 2);
    QCOMPARE(readFile(dir.filePath("log.csv")).count("\r\n"), 3);   // header + 2 rows
    b.tick(phReading(5) + "<M05>");
    QCOMPARE(jsonLines(out.data()).size(), ev.size());
    QCOMPARE(finished.size(), 1);
}

void TestLogger::stopAndTimeLimit()
{
    {
        Bench b;
        HeadlessSession session(b.core);
        QSignalSpy finished(&session, &HeadlessSession::finished);
        session.stop();   // before start: nothing to end
        QCOMPARE(finished.size(), 0);
        QVERIFY(session.start(QStringLiteral("/dev/fake0")));
        session.stop();
        session.stop();
        QCOMPARE(finished.size(), 1);
        QCOMPARE(finished[0][0].toInt(), 0);
        QCOMPARE(b.link.written, QList<QByteArray>{"@B#"});
    }
    {
        Bench b;
        HeadlessSession session(b.core);
        session.setTimeLimit(30);
        QSignalSpy finished(&session, &HeadlessSession::finished);
        QVERIFY(session.start(QStringLiteral("/dev/fake0")));
        QVERIFY(finished.wait(2000));
        QCOMPARE(finished[0][0].toInt(), 0);
        QCOMPARE(b.link.written.count("@B#"), 1);
        QTest::qWait(50);
        QCOMPARE(finished.size(), 1);
    }
}

void TestLogger::lostPort()
{
    QTemporaryDir dir;
    CsvLog csv;
    QVERIFY(csv.open(dir.filePath("log.csv")));
    Bench b;
    HeadlessSession session(b.core);
    session.setCsvLog(&csv);
    QSignalSpy finished(&session, &HeadlessSession::finished);
    QSignalSpy messages(&session, &HeadlessSession::message);
    QVERIFY(session.start(QStringLiteral("/dev/fake0")));
    b.tick("<E>" + phReading(1));
    b.link.unplug(QStringLiteral("device removed"));
    QCOMPARE(finished.size(), 1);
    QCOMPARE(finished[0][0].toInt(), 2);
    QVERIFY(messages.size() == 1 && messages[0][0].toString().contains("device removed"));
    QVERIFY(!b.link.written.contains("@B#"));   // nowhere to send it
    QCOMPARE(readFile(dir.filePath("log.csv")).count("\r\n"), 2);   // the row logged stays
    session.stop();
    QCOMPARE(finished.size(), 1);
}

QTEST_GUILESS_MAIN(TestLogger)
#include "tst_logger.moc"
