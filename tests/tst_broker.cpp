// Living with the lab's broker: refusals heard and made good, one identity
// across restarts, recordings sent again, flaps and TLS trouble told right,
// a password kept to this program. A real mosquitto, the simulated meter and
// the logger, as in tst_publish.
#include "publish/MqttOptions.h"
#include "record/RecordStore.h"
#include "record/SqliteDb.h"
#include "support/BrokerLab.h"
#include "support/DataTable.h"
#include "support/OwnHome.h"

#include <QCommandLineParser>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>

#include <sys/stat.h>

namespace {

bool openssl(const QString &dir, const QString &args)
{
    QProcess p;
    p.setWorkingDirectory(dir);
    p.start(QStringLiteral("openssl"), args.split(u' '));
    return p.waitForFinished(60000) && p.exitCode() == 0;
}

bool writeFile(const QString &path, const QByteArray &text)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(text) == text.size();
}

// A CA and the broker certificates it signed: for 127.0.0.1 (good), expired,
// not valid yet, and for another name; a second CA that signed none of them.
// `openssl ca` sets the dates that `x509 -days` cannot put in the past.
bool makeCertificates(const QString &dir)
{
    if (!writeFile(dir + "/ca.conf", "[ca]\ndefault_ca = lab\n[lab]\ndatabase = index.txt\nnew_certs_dir = .\n"
                                     "serial = serial\ndefault_md = sha256\npolicy = any\ncopy_extensions = copy\n"
                                     "unique_subject = no\n[any]\ncommonName = supplied\n")
        || !writeFile(dir + "/index.txt", "") || !writeFile(dir + "/serial", "01\n"))
        return false;
    const char *steps[] = {
        "req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.crt -days 2 -subj /CN=test-lab-ca",
        "req -x509 -newkey rsa:2048 -nodes -keyout other.key -out other.crt -days 2 -subj /CN=another-ca",
        "req -newkey rsa:2048 -nodes -keyout server.key -out here.csr -subj /CN=127.0.0.1 "
        "-addext subjectAltName=IP:127.0.0.1",
        "req -new -key server.key -out elsewhere.csr -subj /CN=broker.elsewhere -addext subjectAltName=DNS:broker.elsewhere",
        "ca -batch -config ca.conf -cert ca.crt -keyfile ca.key -in here.csr -out good.crt -days 2",
        "ca -batch -config ca.conf -cert ca.crt -keyfile ca.key -in here.csr -out expired.crt "
        "-startdate 20200101000000Z -enddate 20200201000000Z",
        "ca -batch -config ca.conf -cert ca.crt -keyfile ca.key -in here.csr -out future.crt "
        "-startdate 20991201000000Z -enddate 20991231000000Z",
        "ca -batch -config ca.conf -cert ca.crt -keyfile ca.key -in elsewhere.csr -out elsewhere.crt -days 2",
    };
    for (const char *s : steps)
        if (!openssl(dir, QString::fromLatin1(s)))
            return false;
    return true;
}

// The logger's test timings (milliseconds), in its environment.
void timing(Run &run, const QString &value)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("TQ800_MQTT_TIMING"), value);
    run.log.setProcessEnvironment(env);
}

// The rows' numbers in the order they first arrived.
QList<int> firstArrivals(Subscriber &sub)
{
    QList<int> order;
    for (const QJsonObject &r : sub.on("/reading"))
        if (!order.contains(r["row"].toInt()))
            order << r["row"].toInt();
    return order;
}

QList<int> oneTo(qint64 n)
{
    QList<int> all;
    for (int i = 1; i <= n; ++i)
        all << i;
    return all;
}

QList<QJsonObject> eventsNamed(Subscriber &sub, const QString &name)
{
    QList<QJsonObject> out;
    for (const QJsonObject &e : sub.on("/event"))
        if (e["event"].toString() == name)
            out << e;
    return out;
}

// A broker that knows only MQTT 3.1.1, as older ones do: an MQTT 5 greeting
// gets their CONNACK "unacceptable protocol version"; any other connection
// is handed on to the real broker behind.
struct OldBroker : QObject
{
    QTcpServer server;
    int behind = 0;
    int refused = 0;

    bool listen(int brokerPort)
    {
        behind = brokerPort;
        connect(&server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *in = server.nextPendingConnection())
                relay(in);
        });
        return server.listen(QHostAddress::LocalHost);
    }
    void relay(QTcpSocket *in)
    {
        auto *out = new QTcpSocket(in);
        connect(in, &QTcpSocket::readyRead, this, [this, in, out] {
            if (out->state() == QAbstractSocket::UnconnectedState) {
                // CONNECT: the fixed header, its remaining length (1 to 4
                // bytes), "\0\4MQTT", then the protocol level.
                const QByteArray head = in->peek(16);
                int at = 1;
                while (at < head.size() && (head[at] & 0x80))
                    ++at;
                if (head.size() < at + 8)
                    return;
                if (head[at + 7] == 5) {
                    ++refused;
                    in->write(QByteArray("\x20\x02\x00\x01", 4));
                    in->disconnectFromHost();
                    return;
                }
                out->connectToHost(QHostAddress::LocalHost, quint16(behind));
            }
            if (out->state() == QAbstractSocket::ConnectedState)
                out->write(in->readAll());
        });
        connect(out, &QTcpSocket::connected, this, [in, out] { out->write(in->readAll()); });
        connect(out, &QTcpSocket::readyRead, this, [in, out] { in->write(out->readAll()); });
        connect(out, &QTcpSocket::disconnected, in, &QTcpSocket::disconnectFromHost);
        connect(in, &QTcpSocket::disconnected, in, &QObject::deleteLater);
    }
};

} // namespace

class TestBroker : public QObject
{
    Q_OBJECT
    QTemporaryDir certs;

public:
    static void initMain() { useOwnHome(); }

private slots:
    void initTestCase()
    {
        if (!tools())
            QSKIP("mosquitto, mosquitto-clients and openssl are needed (script/bootstrap installs them)");
        QVERIFY(makeCertificates(certs.path()));
    }

    // An ACL that denies the topic: the broker's "no" is heard, told once
    // and written down; once the ACL allows it, everything arrives, in order.
    void refusedTopic()
    {
        Broker broker;
        const QString acl = broker.dir.filePath("acl");
        QVERIFY(writeFile(acl, "topic read tq800/#\n"));
        broker.confLines = "acl_file " + acl + "\nlog_type all\n";
        Subscriber sub;
        Run run;
        timing(run, "refused=1000");
        QVERIFY(startLab(broker, sub, run, {"--family", "cond"}));
        QTRY_VERIFY2_WITH_TIMEOUT(run.said("refused a message on tq800/test/"), run.err.constData(), 30000);
        QVERIFY2(run.said("not authorized (0x87)"), run.err.constData());
        QTRY_VERIFY_WITH_TIMEOUT(run.storedRows() >= 5, 30000);   // logging goes on, offered again meanwhile
        QVERIFY(broker.seen("Denied PUBLISH"));
        QVERIFY(sub.on("/reading").isEmpty());

        QVERIFY(writeFile(acl, "topic readwrite tq800/#\n"));
        broker.hangup();
        QTRY_VERIFY2_WITH_TIMEOUT(run.said("takes what it refused"), run.err.constData(), 30000);
        const qint64 rows = run.storedRows();
        QTRY_VERIFY_WITH_TIMEOUT(firstArrivals(sub).size() >= rows, 30000);
        run.log.terminate();
        QVERIFY(run.log.waitForFinished(20000));

        QCOMPARE(firstArrivals(sub).mid(0, int(rows)), oneTo(rows));
        QCOMPARE(run.err.count("refused a message"), 1);
        const QList<QJsonObject> refusals = eventsNamed(sub, "broker_refused");
        QCOMPARE(refusals.size(), 1);
        QCOMPARE(refusals[0]["code"].toInt(), 0x87);
        QVERIFY(refusals[0]["topic"].toString().startsWith("tq800/test/"));
    }

    // The same client id at every start, and the broker keeps the session.
    void stableClientId_data()
    {
        columns<QStringList, QString>("options", "id");
        dataRow("by the meter", QStringList{}, "");
        dataRow("chosen", QStringList{"--mqtt-client-id", "lab-ph1"}, "lab-ph1");
    }
    void stableClientId()
    {
        auto [options, id] = fetch<QStringList, QString>("options", "id");
        Broker broker;
        broker.confLines = "log_type all\n";   // the CONNACKs too
        QVERIFY(broker.start());
        Run run;
        QVERIFY(run.startMeter({}));
        for (int start = 0; start < 2; ++start) {
            run.err.clear();
            run.startLog(QStringLiteral("mqtt://127.0.0.1:%1").arg(broker.port), options);
            QTRY_VERIFY2_WITH_TIMEOUT(run.said("publishing to"), run.err.constData(), 30000);
            run.log.terminate();
            QVERIFY(run.log.waitForFinished(20000));
        }
        broker.seen("");
        QStringList clients;
        const QRegularExpression connected(R"(New client connected from \S+ as (\S+) \((p\d, c\d))");
        for (auto m = connected.globalMatch(QString::fromUtf8(broker.log)); m.hasNext();) {
            const auto match = m.next();
            clients << match.captured(1) + ' ' + match.captured(2);
        }
        QCOMPARE(clients.size(), 2);
        QCOMPARE(clients[0], clients[1]);
        const QString seen = clients[0].section(' ', 0, 0);
        QCOMPARE(clients[0].section(' ', 1), QStringLiteral("p5, c0"));   // MQTT 5, the session kept
        if (id.isEmpty())
            QVERIFY2(QRegularExpression("^tq800-[A-Za-z0-9._-]+$").match(seen).hasMatch(), qPrintable(seen));
        else
            QCOMPARE(seen, id);
        // The second start finds its session at the broker.
        QVERIFY(broker.seen(qPrintable("Sending CONNACK to " + seen + " (1, 0)")));
    }

    // A stored recording sent again to a subscriber that was not there:
    // every entry with its original key, and the live ledger untouched.
    void republish_data()
    {
        columns<QByteArray, int, QString>("acl", "status", "said");
        dataRow("one recording", QByteArray(), 0, "recording 1: ENTRIES entries sent again to URL, all acknowledged");
        dataRow("since a time", QByteArray(), 0, "recording 1: ENTRIES entries sent again to URL, all acknowledged");
        dataRow("a topic the broker denies", QByteArray("topic read tq800/#\n"), 1,
                "recording 1: ENTRIES of ENTRIES entries not delivered to URL (the broker refused tq800/test/");
    }
    void republish()
    {
        auto [acl, status, said] = fetch<QByteArray, int, QString>("acl", "status", "said");
        const bool since = QByteArray(QTest::currentDataTag()) == "since a time";
        Run run;
        QVERIFY(run.startMeter({}));
        run.log.start(QStringLiteral(TQ800_LOG), {"--port", run.dir.filePath("meter"), "--journal",
                                                  run.dir.filePath("store"), "--count", "4"});
        QVERIFY(run.log.waitForFinished(60000));
        QCOMPARE(run.log.exitCode(), 0);

        Broker broker;
        if (!acl.isEmpty()) {
            QVERIFY(writeFile(broker.dir.filePath("acl"), acl));
            broker.confLines = "acl_file " + broker.dir.filePath("acl") + "\n";
        }
        QVERIFY(broker.start());
        Subscriber fresh;
        fresh.start(broker.port, "fresh");
        QVERIFY(broker.waitFor("as fresh "));
        const QString url = QStringLiteral("mqtt://127.0.0.1:%1").arg(broker.port);
        QProcess again;
        again.start(QStringLiteral(TQ800_LOG),
                    QStringList{"--journal", run.dir.filePath("store"), "--republish", "--mqtt", url, "--mqtt-topic",
                                "tq800/test"}
                        + (since ? QStringList{"--since", "2000-01-01"} : QStringList{"--recording", "1"}));
        QVERIFY(again.waitForFinished(60000));
        const QString err = QString::fromUtf8(again.readAllStandardError());
        QCOMPARE(again.exitCode(), status);

        RecordStore store;
        QVERIFY(store.open(run.dir.filePath("store"), RecordStore::Access::Read));
        QList<qint64> keys;
        QVERIFY(store.forEachEntry(1, "", [&keys](const hashchain::Entry &e) {
            keys << e.seq;
            return true;
        }));
        QVERIFY2(err.contains(said.replace("ENTRIES", QString::number(keys.size())).replace("URL", url)), qPrintable(err));
        SqliteStatement ledger(store.db(), "SELECT count(*) FROM sqlite_master WHERE name = 'published'");
        QVERIFY(ledger.step());
        QCOMPARE(ledger.integer(0), 0);
        if (status != 0)
            return;
        auto arrived = [&fresh] {
            QList<qint64> seqs;
            for (const Message &m : fresh.messages())
                if (m.json()["recording"].toInteger() == 1)
                    seqs << m.json()["seq"].toInteger();
            return seqs;
        };
        QTRY_COMPARE_WITH_TIMEOUT(arrived(), keys, 10000);
        QCOMPARE(firstArrivals(fresh), oneTo(4));
    }

    // Twenty short breaks (another client taking the logger's id) make
    // one summary, not forty lines and events.
    void flaps()
    {
        Broker broker;
        Subscriber sub;
        Run run;
        timing(run, "reconnect=100,flap=3000,steady=1500");
        QVERIFY(startLab(broker, sub, run, {}));
        QTRY_VERIFY2_WITH_TIMEOUT(run.said("publishing to"), run.err.constData(), 30000);
        const QString id = QRegularExpression(" as (\\S+)\n").match(QString::fromUtf8(run.err)).captured(1);
        QVERIFY(!id.isEmpty());
        const QByteArray logger = ("as " + id + " (p5").toUtf8();
        QTRY_VERIFY_WITH_TIMEOUT(broker.count(logger) == 1, 10000);
        for (int flap = 1; flap <= 20; ++flap) {
            QProcess::execute(QStringLiteral("mosquitto_pub"), {"-h", "127.0.0.1", "-p", QString::number(broker.port),
                                                                "-i", id, "-t", "elsewhere", "-n"});
            QTRY_VERIFY_WITH_TIMEOUT(broker.count(logger) == flap + 1, 10000);
        }
        QTRY_VERIFY2_WITH_TIMEOUT(run.said("broke 20 times"), run.err.constData(), 20000);
        QTRY_VERIFY_WITH_TIMEOUT(eventsNamed(sub, "broker_flaps").size() == 1, 10000);
        run.log.terminate();
        QVERIFY(run.log.waitForFinished(20000));

        QVERIFY2(run.said("each time for less than 3 s (the last: "), run.err.constData());
        // logging, publishing, the summary, the count at the end
        QVERIFY2(run.err.count('\n') <= 4, run.err.constData());
        QCOMPARE(eventsNamed(sub, "broker_flaps")[0]["count"].toInt(), 20);
        QVERIFY(eventsNamed(sub, "broker_lost").isEmpty());
        QTRY_COMPARE_WITH_TIMEOUT(firstArrivals(sub), oneTo(run.storedRows()), 10000);
    }

    // An old broker is spoken to in 3.1.1, with a warning, once.
    void oldBroker()
    {
        Broker broker;
        Subscriber sub;
        QVERIFY(broker.start());
        sub.start(broker.port, "all");
        QVERIFY(broker.waitFor("as all "));
        OldBroker old;
        QVERIFY(old.listen(broker.port));
        Run run;
        QVERIFY(run.startMeter({}));
        run.startLog(QStringLiteral("mqtt://127.0.0.1:%1").arg(old.server.serverPort()));
        QTRY_VERIFY_WITH_TIMEOUT(sub.on("/reading").size() >= 2, 30000);
        QVERIFY2(run.said("speaks MQTT 3.1.1 only, which has no way to refuse a message"), run.err.constData());
        QCOMPARE(old.refused, 1);
        QCOMPARE(run.err.count("speaks MQTT 3.1.1 only"), 1);
    }

    // Each kind of TLS trouble in its own words.
    void tlsTrouble_data()
    {
        columns<QString, QString, QString, QString>("certificate", "scheme", "ca", "said");
        dataRow("all in order", "good", "mqtts", "ca.crt", "publishing to mqtts://127.0.0.1:PORT");
        dataRow("another CA", "good", "mqtts", "other.crt",
                "PORT: the broker's certificate was not signed by the CA in --mqtt-cafile (");
        dataRow("expired", "expired", "mqtts", "ca.crt",
                "PORT: the broker's certificate has expired, by this computer's clock (20");
        dataRow("not valid yet", "future", "mqtts", "ca.crt", "PORT: the broker's certificate is not valid yet");
        dataRow("made out to another name", "elsewhere", "mqtts", "ca.crt",
                "PORT: the broker's certificate is not made out to 127.0.0.1");
        dataRow("TLS to a plain port", "", "mqtts", "ca.crt",
                "PORT: port PORT closed the connection at the TLS greeting: it does not speak TLS");
        dataRow("plain to a TLS port", "good", "mqtt", "",
                "PORT: the broker closed the connection without answering: if port PORT speaks TLS, write "
                "mqtts://127.0.0.1:PORT");
    }
    void tlsTrouble()
    {
        auto [certificate, scheme, ca, said] = fetch<QString, QString, QString, QString>("certificate", "scheme", "ca", "said");
        const QString d = certs.path();
        Broker broker;
        if (!certificate.isEmpty())
            broker.confLines = QStringLiteral("cafile %1/ca.crt\ncertfile %1/%2.crt\nkeyfile %1/server.key\n").arg(d, certificate);
        QVERIFY(broker.start());
        Run run;
        QVERIFY(run.startMeter({}));
        run.startLog(QStringLiteral("%1://127.0.0.1:%2").arg(scheme).arg(broker.port),
                     ca.isEmpty() ? QStringList{} : QStringList{"--mqtt-cafile", d + "/" + ca});
        const QByteArray text = said.replace("PORT", QString::number(broker.port)).toUtf8();
        QTRY_VERIFY2_WITH_TIMEOUT(run.said(text.constData()), run.err.constData(), 30000);
    }

    // What the broker options refuse, before anything is opened.
    void options_data()
    {
        columns<QString, int, QString>("args", "mode", "error");
        dataRow("a password file others may read", "--mqtt-password-file FILE", 0644,
                "--mqtt-password-file FILE is open to other users of this computer (mode 0644): run \"chmod 600 FILE\"");
        dataRow("a password file the group may read", "--mqtt-password-file FILE", 0640, "(mode 0640)");
        dataRow("a password file of its owner's", "--mqtt-password-file FILE", 0600, "");
        dataRow("a client id with a slash", "--mqtt-client-id lab/ph1", 0, "--mqtt-client-id lab/ph1: a client id is");
        dataRow("a client id of letters", "--mqtt-client-id lab-ph1.b_2", 0, "");
    }
    void options()
    {
        auto [args, mode, error] = fetch<QString, int, QString>("args", "mode", "error");
        QTemporaryDir dir;
        const QString file = dir.filePath("password");
        QVERIFY(writeFile(file, "secret\n") && ::chmod(QFile::encodeName(file).constData(), mode_t(mode)) == 0);
        QCommandLineParser parser;
        parser.addOptions(mqttopts::options());
        QVERIFY(parser.parse(QStringList{"tq800-log", "--mqtt", "mqtt://127.0.0.1", "--mqtt-user", "u"}
                             + args.replace("FILE", file).split(u' ')));
        MqttSettings settings;
        const QString why = mqttopts::read(parser, settings);
        error.replace("FILE", file);
        QVERIFY2(error.isEmpty() ? why.isEmpty() : why.contains(error), qPrintable(why));
        if (error.isEmpty() && mode)
            QCOMPARE(settings.password, QStringLiteral("secret"));
    }

    // The password from the environment is the program's alone: a program
    // it starts (the spreadsheet an export opens) does not inherit it.
    void passwordLeavesEnvironment()
    {
        qputenv(mqttopts::kPasswordVariable, "s3cret");
        QCommandLineParser parser;
        parser.addOptions(mqttopts::options());
        QVERIFY(parser.parse({"tq800", "--mqtt", "mqtt://127.0.0.1", "--mqtt-user", "u"}));
        MqttSettings settings;
        QCOMPARE(mqttopts::read(parser, settings), QString());
        QCOMPARE(settings.password, QStringLiteral("s3cret"));
        QProcess child;
        child.start(QStringLiteral("env"), {});
        QVERIFY(child.waitForFinished(10000));
        QVERIFY(!child.readAllStandardOutput().contains("TQ800_MQTT_PASSWORD"));
    }

    void clientIdFolded_data()
    {
        columns<QString, QString>("meter", "id");
        dataRow("a by-id name", "usb-FTDI_FT232R_USB_UART_A10K3Q8E-if00-port0", "tq800-usb-FTDI_FT232R_USB_UART_A10K3Q8E-if00-port0");
        dataRow("what an ACL pattern trips on", "lab+ph#1 b/é", "tq800-lab_ph_1_b__");
    }
    void clientIdFolded()
    {
        auto [meter, id] = fetch<QString, QString>("meter", "id");
        QCOMPARE(mqttopts::defaultClientId(meter), id);
    }
};

QTEST_GUILESS_MAIN(TestBroker)
#include "tst_broker.moc"
