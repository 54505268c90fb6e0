// Publishing to a lab's broker: a real mosquitto on a loopback port of its
// own, the simulated meter on a pseudo-terminal, the logger as a program,
// and mosquitto_sub recording everything the broker hands out.
#include "publish/BrokerUrl.h"
#include "publish/MqttMessages.h"
#include "record/RecordStore.h"
#include "support/BrokerLab.h"
#include "support/DataTable.h"
#include "support/FreePort.h"
#include "support/OwnHome.h"
#include "text/FixedUnit.h"

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
public:
    static void initMain() { useOwnHome(); }

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

    // A row's cells as quantities, each number in its quantity's fixed unit
    // whichever range the meter showed: what the meter does not show is
    // null, a table no layout has is no family.
    void readingFields_data()
    {
        columns<QString, QString, QString, QString>("header", "cells", "family", "expected");
        const QString cond = "sn|Date|Time|COND|RES|TDS|SAL|Temp";
        dataRow("pH, compensated", "sn|Date|Time|pH|Temp|||", "1|12-07|9:05:02|7.01|25.0°C(ATC)|||", "pH",
                "7.01 pH; 25 °C ATC; ");
        dataRow("not shown, Fahrenheit, no compensation", "sn|Date|Time|pH|Temp|||", "1|12-07|9:05:02|----|77.1°F|||", "pH",
                "null pH; 25.06 °C null; ");
        dataRow("conductivity with derived", cond, "2|12-07|9:05:03|1413 uS/cm|708 R.cm|----|0.70 ppt|25.2°C(MTC)", "COND",
                "1413 µS/cm; 25.2 °C MTC; 708 Ω·cm, null mg/L, 0.7 ppt");
        dataRow("conductivity a range up", cond, "3|12-07|9:05:04|1.413 mS/cm|1.23 KR.cm|1.00 g/L|0.70 ppt|25.2°C(ATC)",
                "COND", "1413 µS/cm; 25.2 °C ATC; 1230 Ω·cm, 1000 mg/L, 0.7 ppt");
        dataRow("conductivity at the top", cond, "4|12-07|9:05:05|12.88 mS/cm|18.2 MR.cm|996 mg/L|----|25.2°C(ATC)",
                "COND", "12880 µS/cm; 25.2 °C ATC; 18200000 Ω·cm, 996 mg/L, null ppt");
        dataRow("ion traces", "sn|Date|Time|pX|mol|mg|ppm|Temp", "5|12-07|9:05:06|5.30|5.01E-06|0.115 mg/L|115.2 ppt|25.0°C(ATC)",
                "ISE", "5.3 pX; 25 °C ATC; 5.01e-06 mol/L, 0.115 mg/L, 0.1152 ppm");
        dataRow("oxygen", "sn|Date|Time|mg/ppm|%|SAL|Temp|", "6|12-07|9:05:07|8.25|95.3|35ppt|25.0°C(ATC)|", "DO",
                "8.25 mg/L; 25 °C ATC; 95.3 %, 35 ppt");
        dataRow("a table no layout has", "sn|Date|Time|X|||||", "3|12-07|9:05:04|1||||", "", "null; null; ");
    }
    void readingFields()
    {
        auto [header, cells, family, expected] = fetch<QString, QString, QString, QString>("header", "cells", "family", "expected");
        mqttmsg::Context c{"m", "AAAA", 4, header.split(u'|'), {}, {}, {}};
        const QJsonObject r = mqttmsg::reading(c, 9, {{"row", 1}, {"cells", QJsonArray::fromStringList(cells.split(u'|'))},
                                                     {"received", "2026-12-07T09:05:02.000+01:00"}, {"mode", 1}});
        auto text = [](const QJsonValue &q) {
            if (q.isNull())
                return QStringLiteral("null");
            const QJsonValue n = q["number"];
            const QJsonValue unit = q["unit"];
            return (n.isNull() ? QStringLiteral("null") : QString::number(n.toDouble(), 'g', 12)) + u' '
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
        // The meter's text beside the number; a body from before readings
        // carried their time was a live reading, taken when received.
        if (!family.isEmpty())
            QCOMPARE(r["value"]["shown"].toString(), cells.split(u'|')[3]);
        QCOMPARE(r["time"].toString() + ' ' + r["source"].toString(), QStringLiteral("2026-12-07T09:05:02.000+01:00 live"));
    }

    // The meta's settings are numbers, also from a store that kept them as
    // texts; a setting never sent is null, a text setting stays text.
    void metaSettingsAreNumbers()
    {
        mqttmsg::Meta m{"m", "AAAA", "/dev/ttyUSB0", "", {}};
        QCOMPARE(mqttmsg::meta(m)["settings"], QJsonValue(QJsonValue::Null));
        m.settings = QJsonObject{{"frame", "Q0000"}, {"panel", QJsonArray{}},
                                 {"fields", QJsonObject{{"CalOffset", "-1.35"}, {"MeterFamily", "0"}, {"IseCal1", ""},
                                                        {"CalSlope", 98.7}, {"CellConstText", "1.000"}}}};
        const QJsonObject s = mqttmsg::meta(m)["settings"].toObject();
        QCOMPARE(s["CalOffset"], QJsonValue(-1.35));
        QCOMPARE(s["MeterFamily"], QJsonValue(0));
        QCOMPARE(s["CalSlope"], QJsonValue(98.7));
        QCOMPARE(s["CellConstText"], QJsonValue("1.000"));
        for (const char *none : {"IseCal1", "TempUnit"})
            QVERIFY2(s.contains(none) && s[none].isNull(), none);
        QCOMPARE(mqttmsg::event({"m", "AAAA", 1, {}}, 2, {{"event", "settings"}, {"fields", m.settings["fields"]}})["fields"]
                     .toObject()["CalOffset"], QJsonValue(-1.35));
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
        dataRow("conductivity", "cond", "COND", "COND", "µS/cm", QStringList{"RES", "TDS", "SAL"});
        dataRow("ion", "ise", "ISE", "ISE", "pX", QStringList{"mol", "mg", "ppm"});
    }
    void readings()
    {
        auto [family, name, mode, unit, derived]
            = fetch<QString, QString, QString, QString, QStringList>("family", "name", "mode", "unit", "derived");
        Broker broker;
        Subscriber sub;
        Run run;
        QVERIFY(startLab(broker, sub, run, {"--family", family}, {"--sample", "S-" + name}));
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
        QCOMPARE(r["sample"].toString(), "S-" + name);
        QVERIFY(r["batch"].isNull() && r["method"].isNull());
        // The events of the store, with their key; the table's layout among them.
        const QList<QJsonObject> events = sub.on("/event");
        QVERIFY(std::any_of(events.begin(), events.end(), [&](const QJsonObject &e) {
            return e["event"] == "begin" && e["recording"] == r["recording"] && e["seq"].toInteger() < r["seq"].toInteger();
        }));

        run.log.terminate();
        QVERIFY(run.log.waitForFinished(20000));
        QTRY_COMPARE_WITH_TIMEOUT(sub.raw("/status").value(sub.raw("/status").size() - 1), QByteArray("offline"), 10000);
        const QList<QJsonObject> after = sub.on("/event");
        // The run's exit, then its recording's end, last in its chain.
        QCOMPARE(after.value(after.size() - 2)["event"].toString(), QStringLiteral("exit"));
        QCOMPARE(after.last()["event"].toString(), QStringLiteral("end"));
        QCOMPARE(after.last()["how"].toString(), QStringLiteral("Exit"));
    }

    // Everything a run publishes fits the schema in docs/, and the schema
    // says no: every family's readings, live and from the meter's memory,
    // the events of a broker not there at the start and then back, meta
    // and status; a table of wrong messages (tests/data) is refused.
    void everyMessageFitsTheSchema()
    {
        QProcess python;
        python.start(QStringLiteral("python3"), {"-c", "import jsonschema"});
        if (!python.waitForFinished(30000) || python.exitCode() != 0)
            QSKIP("python3 with jsonschema is needed (script/bootstrap installs python3-jsonschema)");
        Broker broker;
        Subscriber sub;
        const QString url = QStringLiteral("mqtt://127.0.0.1:%1").arg(broker.port);
        for (const char *family : {"ph", "mv", "ise", "cond", "do"}) {
            Run run;
            QVERIFY(run.startMeter({"--family", family, "--memory", "4", "--dump-after", "3"}));
            // One names its sample: its event, and readings that carry it.
            run.startLog(url, qstrcmp(family, "cond") == 0 ? QStringList{"--sample", "S-1043", "--batch", "B-7", "--method", "EN 27888"}
                                                           : QStringList{});
            if (qstrcmp(family, "ph") == 0) {
                // The first logger starts before the broker: lost, then back.
                QTRY_VERIFY_WITH_TIMEOUT(run.said("cannot reach the broker at") && run.storedRows() > 0, 30000);
                ::kill(pid_t(run.log.processId()), SIGSTOP);
                QVERIFY(broker.start());
                sub.start(broker.port, "all");
                const bool subscribed = broker.waitFor("as all ");
                ::kill(pid_t(run.log.processId()), SIGCONT);
                QVERIFY(subscribed);
            }
            auto count = [&](const char *source) {
                const QList<QJsonObject> r = sub.on("/reading");
                return std::count_if(r.begin(), r.end(), [&](const QJsonObject &o) { return o["source"] == source; });
            };
            const qsizetype memory = count("memory"), live = count("live");
            QTRY_VERIFY2_WITH_TIMEOUT(count("memory") >= memory + 4 && count("live") > live,
                                      qPrintable(QStringLiteral("%1: %2 memory, %3 live").arg(family).arg(count("memory") - memory)
                                                     .arg(count("live") - live)), 30000);
            run.log.terminate();
            QVERIFY(run.log.waitForFinished(20000));
        }
        QTRY_VERIFY_WITH_TIMEOUT(sub.raw("/status").value(sub.raw("/status").size() - 1) == "offline", 10000);

        QTemporaryDir dir;
        dir.setAutoRemove(qEnvironmentVariableIsEmpty("TQ800_KEEP"));   // TQ800_KEEP=1: the messages stay, to look at
        QFile file(dir.filePath("messages.jsonl"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        for (const Message &m : sub.messages())
            file.write(QJsonDocument(QJsonObject{{"topic", m.topic}, {"payload", QString::fromUtf8(m.payload)}})
                           .toJson(QJsonDocument::Compact) + '\n');
        file.close();
        python.setProcessChannelMode(QProcess::MergedChannels);
        python.start(QStringLiteral("python3"), {QFINDTESTDATA("data/check_mqtt_messages.py"),
                                                 QFINDTESTDATA("../docs/tq800-mqtt.schema.json"), file.fileName()});
        QVERIFY(python.waitForFinished(120000));
        const QByteArray said = python.readAll();
        QVERIFY2(python.exitStatus() == QProcess::NormalExit && python.exitCode() == 0, said.constData());
        qInfo("%s", said.trimmed().constData());
    }

    // A conductivity meter whose readings change ranges (its memory holds
    // µS/cm and mS/cm, R.cm and KR.cm): each quantity in one unit, the
    // meter's text beside it; the memory's records dated by the meter, and
    // the download begun before them in a table that has a live reading.
    void oneUnitPerQuantity()
    {
        Broker broker;
        Subscriber sub;
        Run run;
        QVERIFY(startLab(broker, sub, run, {"--family", "cond", "--memory", "12", "--dump-after", "3"}));
        auto count = [&](const char *source) {
            const QList<QJsonObject> r = sub.on("/reading");
            return std::count_if(r.begin(), r.end(), [&](const QJsonObject &o) { return o["source"] == source; });
        };
        QTRY_VERIFY2_WITH_TIMEOUT(count("memory") == 12 && count("live") >= 1, qPrintable(QStringLiteral("%1 memory, %2 live").arg(count("memory")).arg(count("live"))), 30000);
        QSet<QString> units;
        qint64 firstMemory = 0;
        int converted = 0;
        for (const QJsonObject &r : sub.on("/reading")) {
            QStringList u{r["value"]["unit"].toString()};
            for (const QJsonValue &d : r["derived"].toArray())
                u << d["unit"].toString();
            units << (u << r["temperature"]["unit"].toString()).join(u' ');
            const QString shown = r["value"]["shown"].toString();
            if (shown.endsWith(" mS/cm")) {
                QCOMPARE(r["value"]["number"].toDouble(), *shiftedDecimal(shown.chopped(6), 3));
                ++converted;
            }
            const QDateTime time = QDateTime::fromString(r["time"].toString(), Qt::ISODateWithMs);
            const QDateTime received = QDateTime::fromString(r["received"].toString(), Qt::ISODateWithMs);
            if (r["source"] == "live") {
                QCOMPARE(time, received);
            } else {
                QVERIFY2(time.isValid() && time < received, qPrintable(r["time"].toString()));
                firstMemory = firstMemory ? firstMemory : r["seq"].toInteger();
            }
        }
        QCOMPARE(units, QSet<QString>{"µS/cm Ω·cm mg/L ppt °C"});
        QVERIFY(converted > 0);
        qint64 began = 0, ended = -1;
        for (const QJsonObject &e : sub.on("/event")) {
            if (e["event"] == "download_began")
                began = e["seq"].toInteger();
            if (e["event"] == "download_ended")
                ended = e["rows"].toInt();
        }
        QVERIFY2(began > 0 && began < firstMemory, qPrintable(QStringLiteral("%1 %2").arg(began).arg(firstMemory)));
        QCOMPARE(ended, 12);
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
