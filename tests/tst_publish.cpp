// Publishing to a lab's broker: a real mosquitto on a loopback port of its
// own, the simulated meter on a pseudo-terminal, the logger as a program,
// and mosquitto_sub recording everything the broker hands out.
#include "publish/BrokerUrl.h"
#include "publish/MqttMessages.h"
#include "record/RecordStore.h"
#include "support/BrokerLab.h"
#include "support/DataTable.h"
#include "support/FreePort.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <arpa/inet.h>
#include <csignal>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>

class TestPublish : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (!tools())
            QSKIP("mosquitto, mosquitto-clients and openssl are needed (script/bootstrap installs them)");
    }

    void brokerUrl_data()
    {
        columns<QString, QString, QString>("url", "text", "error");
        dataRow("plain, default port", "mqtt://broker.lab", "mqtt://broker.lab:1883", "");
        dataRow("TLS, default port", "mqtts://broker.lab", "mqtts://broker.lab:8883", "");
        dataRow("port and trailing slash", "MQTT://10.0.0.5:11883/", "mqtt://10.0.0.5:11883", "");
        dataRow("IPv6", "mqtt://[::1]:1884", "mqtt://[::1]:1884", "");
        dataRow("another scheme", "http://broker", "", "is not a broker address");
        dataRow("a topic in the address", "mqtt://broker/lab/ph", "", "a topic by --mqtt-topic");
        dataRow("a user in the address", "mqtt://me@broker", "", "a user goes by --mqtt-user");
        dataRow("port out of range", "mqtt://broker:70000", "", "from 1 to 65535");
        dataRow("port missing", "mqtt://broker:", "", "the port is missing");
        dataRow("no host", "mqtts://:8883", "", "the host is missing");
    }
    void brokerUrl()
    {
        auto [url, text, error] = fetch<QString, QString, QString>("url", "text", "error");
        QString why;
        const BrokerUrl b = parseBrokerUrl(url, why);
        QVERIFY2(error.isEmpty() ? why.isEmpty() : why.contains(error), qPrintable(why));
        if (error.isEmpty())
            QCOMPARE(b.text(), text);
    }

    // A row's cells as quantities: what the meter does not show is null,
    // a table no layout has is no family.
    void readingFields_data()
    {
        columns<QString, QString, QString, QString>("header", "cells", "family", "expected");
        dataRow("pH, compensated", "sn|Date|Time|pH|Temp|||", "1|12-07|9:05:02|7.01|25.0°C(ATC)|||", "pH",
                "7.01 pH; 25 °C ATC; ");
        dataRow("not shown, no compensation", "sn|Date|Time|pH|Temp|||", "1|12-07|9:05:02|----|77.0°F|||", "pH",
                "null pH; 77 °F null; ");
        dataRow("conductivity with derived", "sn|Date|Time|COND|RES|TDS|SAL|Temp",
                "2|12-07|9:05:03|1413 uS/cm|708 R.cm|----|0.70 ppt|25.2°C(MTC)", "COND",
                "1413 uS/cm; 25.2 °C MTC; 708 R.cm, null null, 0.7 ppt");
        dataRow("a table no layout has", "sn|Date|Time|X|||||", "3|12-07|9:05:04|1||||", "", "null; null; ");
    }
    void readingFields()
    {
        auto [header, cells, family, expected] = fetch<QString, QString, QString, QString>("header", "cells", "family", "expected");
        mqttmsg::Context c{"m", "AAAA", 4, header.split(u'|')};
        const QJsonObject r = mqttmsg::reading(c, 9, {{"row", 1}, {"cells", QJsonArray::fromStringList(cells.split(u'|'))},
                                                     {"received", "2026-12-07T09:05:02.000+01:00"}, {"mode", 1}});
        auto text = [](const QJsonValue &q) {
            if (q.isNull())
                return QStringLiteral("null");
            const QJsonValue n = q["number"];
            const QJsonValue unit = q["unit"];
            return (n.isNull() ? QStringLiteral("null") : QString::number(n.toDouble())) + u' '
                + (unit.isNull() ? QStringLiteral("null") : unit.toString())
                + (q.toObject().contains("compensation")
                       ? u' ' + (q["compensation"].isNull() ? QStringLiteral("null") : q["compensation"].toString())
                       : QString());
        };
        QStringList derived;
        for (const QJsonValue &d : r["derived"].toArray())
            derived << text(d);
        QCOMPARE(r["family"].toString(), family);
        QCOMPARE(text(r["value"]) + "; " + text(r["temperature"]) + "; " + derived.join(", "), expected);
        QCOMPARE(r["recording"].toInteger() * 100 + r["seq"].toInteger(), 409);
    }

    // Refused before any port is opened, each with what to do instead.
    void refusedOptions_data()
    {
        columns<QString, QString>("args", "said");
        dataRow("a password on the command line", "--mqtt mqtt://127.0.0.1 --mqtt-user u --mqtt-password secret",
                "--mqtt-password is refused: every user of this computer can read a command line in the process "
                "list. Put the password in a file only you can read and give --mqtt-password-file FILE");
        dataRow("without the store", "--mqtt mqtt://127.0.0.1 --no-journal",
                "--mqtt publishes from the recordings store and cannot go with --no-journal");
        dataRow("TLS without a CA", "--mqtt mqtts://127.0.0.1", "an mqtts:// broker needs --mqtt-cafile FILE");
        dataRow("a CA that is not there", "--mqtt mqtts://127.0.0.1 --mqtt-cafile DIR/none.pem",
                "--mqtt-cafile DIR/none.pem: no such file");
        dataRow("a wildcard topic", "--mqtt mqtt://127.0.0.1 --mqtt-topic lab/#", "must not be empty, contain + or #");
        dataRow("broker options without a broker", "--mqtt-user u", "--mqtt-user needs --mqtt URL");
        dataRow("a keep-alive too short", "--mqtt mqtt://127.0.0.1 --mqtt-keepalive 4", "--mqtt-keepalive wants a whole number");
        dataRow("the window: a password on the command line", "WINDOW --mqtt mqtt://127.0.0.1 --mqtt-password secret",
                "--mqtt-password is refused");
        dataRow("the window: without the store", "WINDOW --mqtt mqtt://127.0.0.1 --no-journal",
                "--mqtt publishes from the recordings store and cannot go with --no-journal");
        // The service names its broker in the environment; the command line goes first.
        dataRow("the logger: a broker from the environment", "TQ800_MQTT=ftp://lab",
                "tq800-log: TQ800_MQTT=ftp://lab: ftp://lab is not a broker address");
        dataRow("the logger: --mqtt before the environment", "TQ800_MQTT=ftp://lab --mqtt mqtts://127.0.0.1",
                "tq800-log: an mqtts:// broker needs --mqtt-cafile FILE");
        dataRow("the logger: --no-journal before the environment", "TQ800_MQTT=ftp://lab --no-journal",
                "--journal and --no-journal exclude each other");
        dataRow("the logger: an empty broker is none", "TQ800_MQTT= --mqtt-user u", "--mqtt-user needs --mqtt URL");
    }
    void refusedOptions()
    {
        auto [args, said] = fetch<QString, QString>("args", "said");
        QTemporaryDir dir;
        QProcess log;
        if (args.startsWith("TQ800_MQTT=")) {
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert("TQ800_MQTT", args.section(u' ', 0, 0).mid(11));
            log.setProcessEnvironment(env);
            args = args.section(u' ', 1);
        }
        const bool window = args.startsWith("WINDOW ");
        log.start(window ? QStringLiteral(TQ800_GUI) : QStringLiteral(TQ800_LOG),
                  QStringList{"--port", dir.filePath("meter"), "--journal", dir.filePath("store")}
                      + args.remove("WINDOW ").replace("DIR", dir.path()).split(u' ', Qt::SkipEmptyParts));
        QVERIFY(log.waitForFinished(30000));
        QCOMPARE(log.exitCode(), 1);
        const QString err = QString::fromUtf8(log.readAllStandardError());
        QVERIFY2(err.contains(said.replace("DIR", dir.path())), qPrintable(err));
        QVERIFY(!QFile::exists(RecordStore::fileIn(dir.filePath("store"))));
    }

    // Each family's readings with the documented fields; meta and status
    // retained for whoever subscribes later; "offline" after a clean exit.
    void readings_data()
    {
        columns<QString, QString, QString, QString, QStringList>("family", "name", "mode", "unit", "derived");
        dataRow("pH", "ph", "pH", "pH", "pH", QStringList{});
        dataRow("conductivity", "cond", "COND", "COND", "uS/cm", QStringList{"RES", "TDS", "SAL"});
        dataRow("ion", "ise", "ISE", "ISE", "pX", QStringList{"mol", "mg", "ppm"});
    }
    void readings()
    {
        auto [family, name, mode, unit, derived]
            = fetch<QString, QString, QString, QString, QStringList>("family", "name", "mode", "unit", "derived");
        Broker broker;
        Subscriber sub;
        Run run;
        QVERIFY(startLab(broker, sub, run, {"--family", family}));
        QTRY_VERIFY_WITH_TIMEOUT(sub.on("/reading").size() >= 3, 30000);
        QVERIFY2(run.said("publishing to mqtt://127.0.0.1:"), run.err.constData());

        // One who comes later is handed meta and status at once, retained.
        Subscriber late;
        late.start(broker.port, "late", {"-C", "2"}, "tq800/test/+");
        QVERIFY(late.p.waitForFinished(10000));
        QCOMPARE(late.messages().size(), 2);
        for (const Message &m : late.messages())
            QVERIFY2(m.retained && (m.topic.endsWith("/meta") || m.topic.endsWith("/status")), qPrintable(m.topic));
        QCOMPARE(late.raw("/status"), QList<QByteArray>{"online"});
        const QJsonObject meta = late.on("/meta").value(0);
        QVERIFY(!meta["model"].toString().isEmpty());
        QCOMPARE(meta["device"].toString(), run.dir.filePath("meter"));
        QVERIFY(meta["settings"].toObject().contains("MeterFamily"));
        QCOMPARE(meta["version"].toString(), QStringLiteral(TQ800_VERSION));

        const QJsonObject r = sub.on("/reading").value(1);
        QVERIFY(r["recording"].toInteger() > 0 && r["seq"].toInteger() > 1);
        QCOMPARE(r["row"].toInt(), 2);
        QVERIFY2(QRegularExpression(R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}([+-]\d\d:\d\d|Z)$)")
                     .match(r["received"].toString()).hasMatch(), qPrintable(r["received"].toString()));
        QVERIFY(!r["meter_date"].toString().isEmpty() && !r["meter_time"].toString().isEmpty());
        QCOMPARE(r["family"].toString(), name);
        QCOMPARE(r["mode"].toString(), mode);
        QCOMPARE(r["model"].toString(), meta["model"].toString());
        QVERIFY(r["value"]["number"].isDouble());
        QCOMPARE(r["value"]["unit"].toString(), unit);
        QVERIFY(r["temperature"]["number"].isDouble());
        QCOMPARE(r["temperature"]["unit"].toString(), QStringLiteral("°C"));
        QVERIFY(r["temperature"].toObject().contains("compensation"));
        QStringList names;
        for (const QJsonValue &d : r["derived"].toArray()) {
            names << d["name"].toString();
            QVERIFY2(d["number"].isDouble() || d["number"].isNull(), qPrintable(d["name"].toString()));
        }
        QCOMPARE(names, derived);
        QCOMPARE(r["cells"].toArray().size(), 8);
        QCOMPARE(r["cells"][0].toString(), QStringLiteral("2"));
        // The events of the store, with their key; the table's layout among them.
        const QList<QJsonObject> events = sub.on("/event");
        QVERIFY(std::any_of(events.begin(), events.end(), [&](const QJsonObject &e) {
            return e["event"] == "begin" && e["recording"] == r["recording"] && e["seq"].toInteger() < r["seq"].toInteger();
        }));

        run.log.terminate();
        QVERIFY(run.log.waitForFinished(20000));
        QTRY_COMPARE_WITH_TIMEOUT(sub.raw("/status").value(sub.raw("/status").size() - 1), QByteArray("offline"), 10000);
        const QList<QJsonObject> after = sub.on("/event");
        QCOMPARE(after.last()["event"].toString(), QStringLiteral("exit"));
    }

    // The broker killed mid-stream and started again on the same port:
    // every row arrives, in order once repeats are dropped.
    void brokerOutage()
    {
        Broker broker;
        Subscriber sub;
        Run run;
        QVERIFY(startLab(broker, sub, run, {"--family", "cond"}, {"--mqtt-keepalive", "5"}));
        QTRY_VERIFY_WITH_TIMEOUT(sub.on("/reading").size() >= 3, 30000);

        broker.kill();
        QTRY_VERIFY_WITH_TIMEOUT(run.said("lost the broker at"), 20000);
        const qint64 atLoss = run.storedRows();
        QTRY_VERIFY_WITH_TIMEOUT(run.storedRows() >= atLoss + 3, 30000);   // logged meanwhile
        // The subscriber must be back before the logger, or it would miss
        // what the logger sends first: the logger waits, stopped, meanwhile.
        ::kill(pid_t(run.log.processId()), SIGSTOP);
        QVERIFY(broker.start());
        const bool subscriberBack = broker.waitFor("as all ");
        ::kill(pid_t(run.log.processId()), SIGCONT);
        QVERIFY(subscriberBack);
        QTRY_VERIFY_WITH_TIMEOUT(run.said("takes readings again"), 20000);
        QTRY_VERIFY_WITH_TIMEOUT(sub.on("/reading").size() >= atLoss + 5, 30000);
        run.log.terminate();
        QVERIFY(run.log.waitForFinished(20000));
        QVERIFY2(run.said("lost the broker at") && run.err.count("lost the broker at") == 1, run.err.constData());
        QCOMPARE(run.err.count("takes readings again"), 1);

        const qint64 rows = run.storedRows();
        QList<int> order;
        int repeats = 0;
        for (const QJsonObject &r : sub.on("/reading")) {
            if (order.contains(r["row"].toInt()))
                ++repeats;
            else
                order << r["row"].toInt();
        }
        QList<int> all;
        for (int i = 1; i <= rows; ++i)
            all << i;
        QCOMPARE(order, all);
        qInfo("%lld rows, %d logged while the broker was away, %d repeated", rows, int(rows - atLoss), repeats);
        // The outage is in the store's account, once each way.
        const QList<QJsonObject> events = sub.on("/event");
        QCOMPARE(std::count_if(events.begin(), events.end(), [](const QJsonObject &e) { return e["event"] == "broker_lost"; }), 1);
        QCOMPARE(std::count_if(events.begin(), events.end(), [](const QJsonObject &e) { return e["event"] == "broker_back"; }), 1);
    }

    // Rows logged while the broker was never reached go at the next run,
    // in order and before that run's; a meter of another model on the same
    // port is said to be another.
    void acrossRestarts()
    {
        Broker broker;
        Run run;
        const QString url = QStringLiteral("mqtt://127.0.0.1:%1").arg(broker.port);
        QVERIFY(run.startMeter({"--model", "AAAA"}));
        run.startLog(url);
        QTRY_VERIFY_WITH_TIMEOUT(run.said("cannot reach the broker at") && run.storedRows() >= 3, 30000);
        run.log.terminate();
        QVERIFY(run.log.waitForFinished(20000));
        const qint64 held = run.storedRows();
        run.meter.terminate();
        run.meter.waitForFinished();
        QFile::remove(run.dir.filePath("meter"));

        QVERIFY(broker.start());
        Subscriber sub;
        sub.start(broker.port, "all");
        QVERIFY(broker.waitFor("as all "));
        QVERIFY(run.startMeter({"--model", "BBBB"}));
        run.err.clear();
        run.startLog(url);
        QTRY_VERIFY_WITH_TIMEOUT(sub.on("/reading").size() >= held + 2, 30000);
        QList<QPair<qint64, int>> keys;
        for (const QJsonObject &r : sub.on("/reading"))
            keys << qMakePair(r["recording"].toInteger(), r["row"].toInt());
        for (int row = 1; row <= held; ++row)
            QCOMPARE(keys.value(row - 1), qMakePair(qint64(1), row));
        QCOMPARE(keys.value(int(held)), qMakePair(qint64(2), 1));
        const QList<QJsonObject> events = sub.on("/event");
        const auto changed = std::find_if(events.begin(), events.end(), [](const QJsonObject &e) { return e["event"] == "meter_changed"; });
        QVERIFY(changed != events.end());
        QCOMPARE((*changed)["before"].toString() + " " + (*changed)["after"].toString(), QStringLiteral("AAAA BBBB"));
    }

    // A logger that dies without a word is "offline" by its will.
    void killedLoggerGoesOffline()
    {
        Broker broker;
        Subscriber sub;
        Run run;
        QVERIFY(startLab(broker, sub, run, {}, {"--mqtt-keepalive", "5"}, "tq800/test/status"));
        QTRY_COMPARE_WITH_TIMEOUT(sub.raw("/status"), QList<QByteArray>{"online"}, 30000);
        run.log.kill();
        run.log.waitForFinished();
        QTRY_COMPARE_WITH_TIMEOUT(sub.raw("/status"), (QList<QByteArray>{"online", "offline"}), 15000);
    }
};

QTEST_GUILESS_MAIN(TestPublish)
#include "tst_publish.moc"
