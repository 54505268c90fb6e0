#pragma once
#include "shell/HeadlessSession.h"
#include "support/FakeMeter.h"
#include "table/CsvLog.h"

#include <QBuffer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTemporaryDir>

// The headless logger's session on a fake port, printing its events to a
// buffer and logging rows to a CSV file (by default one in a scratch folder).
struct Logged
{
    Bench b{false};
    QTemporaryDir dir;
    CsvLog csv;
    QBuffer out;
    HeadlessSession session{b.core};
    QSignalSpy finished{&session, &HeadlessSession::finished};

    explicit Logged(const QString &csvFile = QString())
    {
        out.open(QIODevice::WriteOnly);
        session.setJsonOutput(&out);
        csv.open(csvFile.isEmpty() ? csvPath() : csvFile);
        session.setCsvLog(&csv);
    }
    QString csvPath() const { return dir.filePath("log.csv"); }
    bool start() { return session.start(QStringLiteral("/dev/fake0")); }
    QList<QJsonObject> events() const
    {
        QList<QJsonObject> objects;
        for (const QByteArray &line : out.data().split('\n'))
            if (!line.isEmpty())
                objects << QJsonDocument::fromJson(line).object();
        return objects;
    }
};
