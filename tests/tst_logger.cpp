// The headless logger's parts: the CSV writer, the state snapshot it prints,
// and the session that plays the user (auto-Clear, events, stop conditions).
#include "shell/StateSnapshot.h"
#include "support/DataTable.h"
#include "support/Files.h"
#include "support/LoggedSession.h"
#include "support/OwnHome.h"
#include "support/Readings.h"

#include <QJsonArray>
#include <QProcess>
#include <QScopeGuard>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Fields of a snapshot as texts, '|' between them (a null reads as "").
QString fields(const QJsonObject &s, std::initializer_list<const char *> keys)
{
    QStringList out;
    for (const char *k : keys)
        out << s[QLatin1String(k)].toVariant().toString();
    return out.join(QLatin1Char('|'));
}

QStringList texts(const QJsonValue &v)
{
    return QVariant(v.toArray().toVariantList()).toStringList();
}

// Whether `path` (a link not followed) is of `type` (S_IFCHR, S_IFIFO...).
bool isA(const QString &path, mode_t type)
{
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 && (st.st_mode & S_IFMT) == type;
}

} // namespace

class TestLogger : public QObject
{
    Q_OBJECT
public:
    static void initMain() { useOwnHome(); }

private slots:
    void csvLine_data()
    {
        columns<QStringList, QString>("fields", "expected");
        QTest::newRow("plain, empty fields kept") << QStringList{"1", "", "9:05:45", ""} << "1,,9:05:45,\r\n";
        QTest::newRow("comma, quotes doubled") << QStringList{"1,5", "say \"hi\""} << "\"1,5\",\"say \"\"hi\"\"\"\r\n";
        QTest::newRow("LF, CR") << QStringList{"a\nb", "a\rb"} << "\"a\nb\",\"a\rb\"\r\n";
        QTest::newRow("blanks and semicolons unquoted") << QStringList{" mg/L", "a;b"} << " mg/L,a;b\r\n";
    }
    void csvLine()
    {
        QFETCH(QStringList, fields);
        QTEST(CsvLog::line(fields), "expected");
    }

    void csvFile()
    {
        QTemporaryDir dir;
        CsvLog log;
        QVERIFY(!log.open(dir.filePath("missing/dir/log.csv")));
        QVERIFY(!log.errorString().isEmpty());
        QVERIFY(!log.appendRow(QStringList{"h"}, QStringList{"1"}));

        // An earlier session's rows stay and go on under its header; a header
        // goes wherever the header changes; every row is readable at once.
        const QString path = dir.filePath("log.csv");
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly) && old.write("sn,pH\r\n1,7.00\r\n") > 0);
        old.close();
        const QStringList a{"sn", "pH"}, b{"sn", "COND"};
        QVERIFY(log.open(path));
        QByteArray expected = "sn,pH\r\n1,7.00\r\n";
        for (const auto &[header, cell, lines] :
             {std::tuple{a, "25.0°C", "25.0\xC2\xB0" "C,x\r\n"}, {a, "2", "2,x\r\n"},
              {b, "3", "sn,COND\r\n3,x\r\n"}, {b, "4", "4,x\r\n"}, {a, "5", "sn,pH\r\n5,x\r\n"}}) {
            QVERIFY(log.appendRow(header, QStringList{cell, "x"}));
            QCOMPARE(readFile(path), expected += lines);
        }
    }

    // A CSV log on a full disk holds whole lines only, and says the
    // system's reason when it ends.
    void csvOnAFullDisk_data()
    {
        // tmpfs: on a 64 KiB file system of its own (root only), else under a file size limit
        columns<bool, QString>("tmpfs", "reason");
        QTest::newRow("64 KiB file system") << true << "No space left on device";
        QTest::newRow("file size limit") << false << "File too large";
    }
    void csvOnAFullDisk()
    {
        auto [tmpfs, reason] = fetch<bool, QString>("tmpfs", "reason");
        QTemporaryDir disk;
        if (tmpfs
            && (geteuid() != 0
                || QProcess::execute("mount", {"-t", "tmpfs", "-o", "size=64k", "tmpfs", disk.path()}) != 0))
            QSKIP("mounting a file system needs root");
        const auto unmount = qScopeGuard([&, tmpfs = tmpfs] {
            if (tmpfs)
                QProcess::execute("umount", {"-l", disk.path()});   // lazy: never left behind
        });
        const QString path = disk.filePath("log.csv");
        Logged l(path);
        QSignalSpy said(&l.session, &HeadlessSession::message);
        QVERIFY(l.start());
        l.b.feed("<E>");
        // Past the limit every write into a file fails (EFBIG).
        rlimit saved {}, tight {};
        getrlimit(RLIMIT_FSIZE, &saved);
        tight = saved;
        tight.rlim_cur = tmpfs ? saved.rlim_cur : 4000;
        std::signal(SIGXFSZ, SIG_IGN);
        setrlimit(RLIMIT_FSIZE, &tight);
        for (int i = 0; l.finished.isEmpty() && i < 5000; ++i)
            l.b.feed(runReading(i));
        setrlimit(RLIMIT_FSIZE, &saved);
        QCOMPARE(l.finished.size(), 1);
        QCOMPARE(l.finished[0][0].toInt(), 1);
        const int written = l.csv.rowsWritten();
        QCOMPARE(said.last()[0].toString(),
                 QStringLiteral("row %1 was not written to the CSV file: %2; logging ends").arg(written + 1).arg(reason));
        const QByteArray text = readFile(path);
        QVERIFY2(text.endsWith("\r\n"), text.right(40).constData());
        QCOMPARE(text.count("\r\n"), written + 1);   // the header and every row taken, whole
    }

    void snapshotAfterStartUpAndReading()
    {
        Bench b(false);
        const QByteArray panelRow = R"(["","",false],)";
        const QJsonObject startUp = QJsonDocument::fromJson(
            R"({"title":"Form1","lcd":["","","","","","","","","","","",""],"circles":[false,false,false],"panel":[)"
            + panelRow.repeated(6) + R"(["","",false]],"header":["","","","","","","",""],"row":null,"cells":null,)"
            R"("grid_row":1,"rows":12,"top_row":1,"highlight":null,"polling":false,"poll_timer":false,)"
            R"("poll_command":"A","buttons":{"clear":false,"export":false,"std_add":false},)"
            R"("range":{"visible":true,"selected":null},"axes":{"lblY":["","","","","",""],)"
            R"("lblX":["","","","","","","",""],"LblN":["","","","","",""],"LineY":[false,false,false,false,false],)"
            R"("LineX":[false,false,false,false,false,false],"LineN":[false,false,false,false,false]},)"
            R"("cleared":false,"drawn":[],"printed":[],"time_base":1,"value_scale":null,"temp_scale":null,)"
            R"("start_seconds":null})").object();
        QVERIFY(!startUp.isEmpty());
        QCOMPARE(QJsonDocument(stateSnapshot(b.core, 0)).toJson(), QJsonDocument(startUp).toJson());

        // The decoders have their own tests; this only makes sure each part of
        // what a reading changes reaches the snapshot in the right place.
        b.core.m.MeterFamily = 4;   // DO, Celsius, two-decimal resolution
        b.core.m.TempUnit = 1;
        b.core.m.DoResCode = 2;
        b.core.m.RxBuffer = QStringLiteral("<DD0ED3A45033903B903F5000002EE>");
        b.core.Timer1_Timer();
        const QJsonObject s = stateSnapshot(b.core, 1);
        QCOMPARE(fields(s, {"row", "grid_row", "highlight"}), QStringLiteral("1|2|1"));
        QCOMPARE(texts(s["cells"]), (QStringList{"1", "3-07", "9:05:45", "8.25", "95.3", "0ppt", "25.0°C(ATC)", ""}));
        QCOMPARE(texts(s["lcd"]),
                 (QStringList{"DO", "3-07 9:05:45", "8.25", "mg/L", "25.0°C", "", "ATC", "", "", "", "1", ""}));
        QCOMPARE(s["panel"].toArray()[2].toArray(), (QJsonArray{"A.P.", "101.3kPa", true}));
    }

    void snapshotTablePosition()
    {
        Bench b;
        b.core.cmdClear_Click();
        for (int i = 1; i <= 11; ++i)
            b.feed(phReading(i));
        QCOMPARE(fields(stateSnapshot(b.core, 0), {"grid_row", "rows", "top_row", "highlight"}),
                 QStringLiteral("12|14|3|11"));
        // An earlier row is spelled out on request; rows that do not exist read as none.
        QCOMPARE(texts(stateSnapshot(b.core, 2)["cells"])[2], QString("9:05:02"));
        QVERIFY(stateSnapshot(b.core, 14)["cells"].isNull() && stateSnapshot(b.core, 14)["row"].isNull());
        // Should more than one row carry the highlight, the bottom one is reported.
        b.core.MSFlexGrid1->setCellBackColor(4, 3, FlexGrid::Shade::Highlight);
        QCOMPARE(stateSnapshot(b.core, 0)["highlight"].toInt(), 11);
        b.core.MSFlexGrid1->setCellBackColor(12, 5, FlexGrid::Shade::Highlight);
        QCOMPARE(stateSnapshot(b.core, 0)["highlight"].toInt(), 12);
    }

    void autoClear_data()
    {
        columns<QList<QByteArray>, int, int>("ticks", "clears", "gridRow");
        const QByteArray d = phReading(45);
        QTest::newRow("model frame") << QList<QByteArray>{"<M05A1.2>"} << 1 << 1;
        QTest::newRow("end frame in the same tick restarts polling") << QList<QByteArray>{"<M05A1.2><E>"} << 0 << 1;
        QTest::newRow("model after logged rows starts afresh") << QList<QByteArray>{"<E>", d, d, "<M05>"} << 1 << 1;
        QTest::newRow("end with rows stops polling, but no model") << QList<QByteArray>{"<E>", d, "<E>"} << 0 << 2;
    }
    void autoClear()
    {
        auto [ticks, clears] = fetch<QList<QByteArray>, int>("ticks", "clears");
        Logged l;
        QVERIFY(l.start());
        for (const QByteArray &t : ticks)
            l.b.feed(t);
        int seen = 0;
        for (const QJsonObject &o : l.events()) {
            if (o["event"].toString() != QLatin1String("Clear"))
                continue;
            ++seen;
            QVERIFY(o["row"].isNull() && o["polling"].toBool() && o["grid_row"].toInt() == 1);
            QCOMPARE(texts(o["header"]), (QStringList{"sn", "Date", "Time", "pH", "Temp", "", "", ""}));
        }
        QCOMPARE(seen, clears);
        QTEST(l.b.core.m.GridRow, "gridRow");
        QVERIFY(clears == 0 || l.b.core.Timer2.isActive());
    }

    void sessionEventsAndCsv()
    {
        Logged l;
        QVERIFY(l.start());
        l.b.feed("<M05A1.2>");
        l.b.feed("noise" + phReading(1) + "<X>");
        l.b.feed(phReading(2));

        QVERIFY(l.out.data().endsWith('\n'));
        for (const QByteArray &line : l.out.data().split('\n'))
            QVERIFY2(line.isEmpty() || line.startsWith("{\"event\":\""), line.constData());
        const QList<QJsonObject> ev = l.events();
        QStringList got;
        for (const QJsonObject &o : ev)
            got << fields(o, {"event", "frame", "row", "polling", "poll_timer", "poll_command"});
        QCOMPARE(got, (QStringList{"open|||false|true|A", "frame|M05A1.2||false|false|", "Clear|||true|true|",
                                   "frame|D18C13A451B5802EE|1|true|true|", "frame|X||true|true|",
                                   "frame|D18C23A451B5802EE|2|true|true|"}));
        QCOMPARE(ev[0]["buttons"].toObject(), (QJsonObject{{"clear", true}, {"export", true}, {"std_add", false}}));
        QCOMPARE(ev[1]["title"].toString(), QString("TQ805 BenchLog(05A1.2)"));
        QCOMPARE(ev[2]["range"].toObject(), (QJsonObject{{"visible", false}, {"selected", QJsonValue()}}));
        QCOMPARE(l.session.rowsCompleted(), 2);
        QCOMPARE(readFile(l.csvPath()), QByteArray("\xEF\xBB\xBFsn,Date,Time,pH,Temp,,,\r\n"
                                                   "1,3-07,9:05:01,7.00,77.0\xC2\xB0" "F(ATC),,,\r\n"
                                                   "2,3-07,9:05:02,7.00,77.0\xC2\xB0" "F(ATC),,,\r\n"));
    }

    void sessionEnds_data()
    {
        // how: 0 row limit of 2, 1 stop(), 2 time limit, 3 port lost
        // exitCode: 0 also sends the exit request; 2 has no port to send it to
        // rows: completed, reported and logged
        columns<int, int, int>("how", "exitCode", "rows");
        QTest::newRow("row limit: the second of three readings in one tick ends it") << 0 << 0 << 2;
        QTest::newRow("stop, twice") << 1 << 0 << 1;
        QTest::newRow("time limit") << 2 << 0 << 1;
        QTest::newRow("lost port") << 3 << 2 << 1;
    }
    void sessionEnds()
    {
        auto [how, exitCode, rows] = fetch<int, int, int>("how", "exitCode", "rows");
        Logged l;
        QSignalSpy messages(&l.session, &HeadlessSession::message);
        QSignalSpy exits(&l.b.core, &MainCore::exitRequested);
        l.session.stop();   // before start: nothing to end
        l.session.setRowLimit(how == 0 ? 2 : 0);
        l.session.setTimeLimit(how == 2 ? 30 : 0);
        QVERIFY(l.start());
        l.b.feed("<E>" + phReading(1));
        QVERIFY(l.finished.isEmpty());
        if (how == 0)
            l.b.feed(phReading(2) + phReading(3) + phReading(4));
        if (how == 1)
            l.session.stop();
        if (how == 2)
            QVERIFY(l.finished.wait(2000));
        if (how == 3)
            l.b.link.unplug();
        const QList<QJsonObject> ev = l.events();
        // Once finished the session ignores the core and stop().
        l.b.feed(phReading(5) + "<M05>");
        l.session.stop();
        QTest::qWait(how == 2 ? 50 : 0);
        QCOMPARE(l.finished.size(), 1);
        QCOMPARE(l.finished[0][0].toInt(), exitCode);
        QCOMPARE(exits.size(), exitCode == 0 ? 1 : 0);
        QCOMPARE(l.b.link.written.count("@B#"), exitCode == 0 ? 1 : 0);
        QVERIFY(!l.b.core.Timer2.isActive());
        QCOMPARE(l.session.rowsCompleted(), rows);
        // A lost port is the last event of its own.
        QCOMPARE(ev.last()["event"].toString(), QString(how == 3 ? "lost" : "frame"));
        QCOMPARE(ev[ev.size() - (how == 3 ? 2 : 1)]["row"].toInt(), rows);
        QCOMPARE(l.events().size(), ev.size());
        QCOMPARE(readFile(l.csvPath()).count("\r\n"), rows + 1);   // with the header
        QCOMPARE(messages.size(), how == 3 ? 1 : 0);
        QVERIFY(how != 3 || messages[0][0].toString().contains("device removed"));
    }

    // The program itself against the simulator on a pseudo-terminal: its
    // options, what it says on standard error and its exit status.
    void commandLine_data()
    {
        // sim empty: no simulator
        // args: DEV and DIR stand for the device and a scratch folder
        // said: on standard error
        // fileStart: the start of DIR/out.*, if any
        columns<QStringList, QString, int, QString, QByteArray>("sim", "args", "status", "said", "fileStart");
        const QStringList ph{"--family", "ph", "--unpaced"};
        QTest::newRow("count and csv") << ph << "--count 2 --csv DIR/out.csv" << 0
                                       << "2 rows logged, 2 rows written to DIR/out.csv" << QByteArray("\xEF\xBB\xBFsn,Date");
        // Blocks of rows behind are let go as it streams; every row lands.
        QTest::newRow("a download until its end") << QStringList{"--family", "ph", "--unpaced", "--memory", "5000", "--dump-after", "0"}
                                                  << "--until-end --csv DIR/out.csv" << 0
                                                  << "5000 rows logged, 5000 rows written to DIR/out.csv"
                                                  << QByteArray("\xEF\xBB\xBF");
        QTest::newRow("export at the end") << ph << "--count 1 --export DIR/out.xls" << 0
                                           << "1 row exported to DIR/out.xls" << QByteArray("\xD0\xCF\x11\xE0");
        // Files written at the end are refused before logging starts.
        QTest::newRow("export to a missing folder") << ph << "--count 1 --export DIR/none/out.xls" << 1
                                                    << "cannot write DIR/none/out.xls: the folder DIR/none does not exist"
                                                    << QByteArray();
        QTest::newRow("export over a device") << ph << "--count 1 --export DIR/null.xls" << 1
                                              << "cannot write DIR/null.xls: it is a device, not a file" << QByteArray();
        // The name says what is written: one it does not know is refused,
        // not written as an .xls.
        QTest::newRow("export to a name of no known kind") << ph << "--count 1 --export DIR/out.json" << 1
                                                           << "--export DIR/out.json: the name must end in .xls, .xlsx, "
                                                              ".csv, .jsonl" << QByteArray();
        QTest::newRow("tidy, but not a CSV") << ph << "--count 1 --export DIR/out.xlsx --tidy" << 1
                                             << "--tidy writes a .csv file" << QByteArray();
        QTest::newRow("JSON Lines at the end") << ph << "--count 2 --journal DIR/store --export DIR/out.jsonl" << 0
                                               << "2 rows exported to DIR/out.jsonl" << QByteArray("{\"batch\":null,\"cells\":[\"1\",");
        QTest::newRow("one reading a row, no store") << ph << "--count 2 --no-journal --export DIR/out.csv --tidy" << 0
                                                     << "2 rows exported to DIR/out.csv"
                                                     << QByteArray("recording,seq,row,time,received,source,mode,pH,Temp_degC,"
                                                                   "compensation,settings_seq,sample,batch,method\r\n,,1,");
        QTest::newRow("chart over a FIFO") << ph << "--count 1 --chart DIR/pipe.svg" << 1
                                           << "cannot write DIR/pipe.svg: it is a named pipe (FIFO), not a file"
                                           << QByteArray();
        // A CSV log that cannot be opened is refused before logging.
        QTest::newRow("a CSV that is a folder") << ph << "--count 2 --csv DIR" << 1 << "cannot open DIR: "
                                                << QByteArray();
        QTest::newRow("not a serial device") << QStringList{} << "--port /dev/null" << 1
                                             << "could not open /dev/null: not a serial device" << QByteArray();
        QTest::newRow("no port") << QStringList{} << "--count 1" << 1 << "" << QByteArray();
    }
    void commandLine()
    {
        auto [sim, args] = fetch<QStringList, QString>("sim", "args");
        QTemporaryDir dir;
        QVERIFY(::mkfifo(QFile::encodeName(dir.filePath("pipe.svg")).constData(), 0600) == 0);
        QVERIFY(QFile::link(QStringLiteral("/dev/null"), dir.filePath("null.xls")));
        QProcess meter;
        QString device = QStringLiteral("/dev/null");
        if (!sim.isEmpty()) {
            meter.start(QStringLiteral(TQ800_SIM), sim << "--quiet" << "--link" << dir.filePath("meter"));
            QTRY_VERIFY(QFileInfo(dir.filePath("meter")).isSymLink());
            device = dir.filePath("meter");
        }
        QProcess log;
        const QString withPaths = args.replace("DEV", device).replace("DIR", dir.path());
        log.start(QStringLiteral(TQ800_LOG), (sim.isEmpty() ? QStringList{} : QStringList{"--port", device})
                                                 + withPaths.split(u' '));
        QVERIFY(log.waitForFinished(30000));
        meter.terminate();
        meter.waitForFinished();
        QTEST(log.exitCode(), "status");
        QFETCH(QString, said);
        const QString stderrText = QString::fromUtf8(log.readAllStandardError());
        QVERIFY2(stderrText.contains(said.replace("DIR", dir.path())), qPrintable(stderrText));
        QFETCH(QByteArray, fileStart);
        const QStringList files = QDir(dir.path()).entryList({QStringLiteral("out.*")});
        QCOMPARE(files.size(), fileStart.isEmpty() ? 0 : 1);
        if (!files.isEmpty())
            QVERIFY(readFile(dir.filePath(files[0])).startsWith(fileStart));
        if (files.value(0).endsWith(".csv") && !args.contains("--tidy")) {
            // Every row whole, numbered on from 1.
            const QList<QByteArray> lines = readFile(dir.filePath(files[0])).split('\n');
            for (int i = 1; i + 1 < lines.size(); ++i)
                QVERIFY2(lines[i].startsWith(QByteArray::number(i) + ',') && lines[i].count(',') == 7, lines[i].constData());
        }
        QVERIFY(isA("/dev/null", S_IFCHR) && isA(dir.filePath("pipe.svg"), S_IFIFO));
    }

    // The simulator's arguments: a --link it cannot make is a bad one.
    void simulatorArguments_data()
    {
        columns<QString, int, QString>("args", "status", "said");
        QTest::newRow("link in a missing folder") << "--link DIR/none/meter" << 2
                                                  << "symlink DIR/none/meter: No such file or directory";
        QTest::newRow("link over a file") << "--link DIR/file" << 2 << "DIR/file exists and is not a symlink";
        QTest::newRow("unknown family") << "--family xx" << 2 << "bad value for --family: xx";
    }
    void simulatorArguments()
    {
        auto [args, said] = fetch<QString, QString>("args", "said");
        QTemporaryDir dir;
        QFile file(dir.filePath("file"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        QProcess sim;
        sim.start(QStringLiteral(TQ800_SIM), args.replace("DIR", dir.path()).split(u' '));
        QVERIFY(sim.waitForFinished(30000));
        QTEST(sim.exitCode(), "status");
        const QString stderrText = QString::fromUtf8(sim.readAllStandardError());
        QVERIFY2(stderrText.contains(said.replace("DIR", dir.path())), qPrintable(stderrText));
    }
};

QTEST_GUILESS_MAIN(TestLogger)
#include "tst_logger.moc"
