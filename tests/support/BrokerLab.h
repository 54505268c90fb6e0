#pragma once
// A lab on loopback for the publishing tests: a real mosquitto on a port of
// its own, mosquitto_sub recording everything the broker hands out, the
// simulated meter on a pseudo-terminal and the logger as a program.
#include "record/RecordStore.h"
#include "support/FreePort.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <pwd.h>
#include <unistd.h>

inline bool tools()
{
    for (const char *t : {"mosquitto", "mosquitto_sub", "openssl"})
        if (QStandardPaths::findExecutable(QString::fromLatin1(t)).isEmpty()
            && QStandardPaths::findExecutable(QString::fromLatin1(t), {"/usr/sbin", "/sbin"}).isEmpty())
            return false;
    return true;
}

inline QString mosquittoPath()
{
    const QString p = QStandardPaths::findExecutable(QStringLiteral("mosquitto"));
    return p.isEmpty() ? QStandardPaths::findExecutable(QStringLiteral("mosquitto"), {"/usr/sbin", "/sbin"}) : p;
}

// The test's own broker: one loopback listener, nothing kept on disk; its
// log (connections among it) read as it goes. `confLines` go at the end of
// its configuration (TLS files, an ACL).
struct Broker
{
    QTemporaryDir dir;
    int port = freeLoopbackPort();
    QString confLines;
    QProcess p;
    QByteArray log;

    bool start()
    {
        QFile conf(dir.filePath("mosquitto.conf"));
        if (!conf.open(QIODevice::WriteOnly))
            return false;
        // Run as root, mosquitto would become the user "mosquitto", who may
        // not read the test's key files: it stays who the test is.
        const passwd *me = getpwuid(getuid());
        conf.write(QStringLiteral("listener %1 127.0.0.1\nallow_anonymous true\npersistence false\nlog_dest stderr\n"
                                  "user %2\n%3")
                       .arg(port)
                       .arg(QString::fromLocal8Bit(me ? me->pw_name : "root"), confLines)
                       .toUtf8());
        conf.close();
        log.clear();
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.start(mosquittoPath(), {"-c", conf.fileName()});
        return p.waitForStarted() && waitFor(" running");
    }
    bool waitFor(const char *text)
    {
        for (int i = 0; i < 100 && !seen(text); ++i)
            p.waitForReadyRead(100);
        return seen(text);
    }
    bool seen(const char *text)
    {
        log += p.readAll();
        return log.contains(text);
    }
    qsizetype count(const QByteArray &text)
    {
        log += p.readAll();
        return log.count(text);
    }
    // Reads its ACL file again.
    void hangup() { ::kill(pid_t(p.processId()), SIGHUP); }
    void kill()
    {
        p.kill();
        p.waitForFinished();
    }
    ~Broker() { kill(); }
};

struct Message
{
    bool retained;
    QString topic;
    QByteArray payload;
    QJsonObject json() const { return QJsonDocument::fromJson(payload).object(); }
};

// mosquitto_sub on everything under tq800/, QoS 1, each message on a line.
struct Subscriber
{
    QProcess p;
    QByteArray out;
    QList<Message> got;

    void start(int port, const QString &id, const QStringList &extra = {}, const QString &topic = "tq800/#")
    {
        p.start(QStringLiteral("mosquitto_sub"), QStringList{"-h", "127.0.0.1", "-p", QString::number(port), "-i", id,
                                                            "-q", "1", "-t", topic, "-F", "%r %t %p"}
                                                     + extra);
        p.waitForStarted();
    }
    const QList<Message> &messages()
    {
        out += p.readAllStandardOutput();
        qsizetype nl;
        while ((nl = out.indexOf('\n')) >= 0) {
            const QByteArray line = out.left(nl);
            out.remove(0, nl + 1);
            const QList<QByteArray> parts = line.split(' ');
            if (parts.size() >= 3)
                got.append({parts[0] == "1", QString::fromUtf8(parts[1]), line.mid(parts[0].size() + parts[1].size() + 2)});
        }
        return got;
    }
    QList<QJsonObject> on(const QString &suffix)
    {
        QList<QJsonObject> out;
        for (const Message &m : messages())
            if (m.topic.endsWith(suffix))
                out << m.json();
        return out;
    }
    QList<QByteArray> raw(const QString &suffix)
    {
        QList<QByteArray> out;
        for (const Message &m : messages())
            if (m.topic.endsWith(suffix))
                out << m.payload;
        return out;
    }
    ~Subscriber()
    {
        p.terminate();
        p.waitForFinished();
    }
};

// The simulated meter, and the logger publishing its readings.
struct Run
{
    QTemporaryDir dir;
    QProcess meter, log;
    QByteArray err;

    bool startMeter(const QStringList &extra)
    {
        meter.start(QStringLiteral(TQ800_SIM), QStringList{"--quiet", "--unpaced", "--link", dir.filePath("meter")} + extra);
        for (int i = 0; i < 100 && !QFileInfo(dir.filePath("meter")).isSymLink(); ++i)
            QTest::qWait(50);
        return QFileInfo(dir.filePath("meter")).isSymLink();
    }
    void startLog(const QString &url, const QStringList &extra = {})
    {
        log.start(QStringLiteral(TQ800_LOG), QStringList{"--port", dir.filePath("meter"), "--journal", dir.filePath("store"),
                                                        "--mqtt", url, "--mqtt-topic", "tq800/test"}
                                                 + extra);
    }
    bool said(const char *text)
    {
        err += log.readAllStandardError();
        return err.contains(text);
    }
    // Rows the logger's store holds now, read beside it.
    qint64 storedRows()
    {
        RecordStore store;
        if (!QFile::exists(RecordStore::fileIn(dir.filePath("store")))
            || !store.open(dir.filePath("store"), RecordStore::Access::Read))
            return 0;
        qint64 rows = 0;
        for (const RecordingInfo &r : store.list())
            rows += r.rows;
        return rows;
    }
    ~Run()
    {
        for (QProcess *p : {&log, &meter}) {
            p->terminate();
            p->waitForFinished();
        }
    }
};


// A broker, `sub` on it (to `topic`), the meter with `meter`'s options and
// the logger publishing to the broker with `log`'s.
inline bool startLab(Broker &broker, Subscriber &sub, Run &run, const QStringList &meter, const QStringList &log = {},
              const QString &topic = "tq800/#")
{
    if (!broker.start())
        return false;
    sub.start(broker.port, "all", {}, topic);
    if (!broker.waitFor("as all ") || !run.startMeter(meter))
        return false;
    run.startLog(QStringLiteral("mqtt://127.0.0.1:%1").arg(broker.port), log);
    return true;
}
