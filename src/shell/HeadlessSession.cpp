#include "shell/HeadlessSession.h"

#include "shell/MainCore.h"
#include "shell/SerialLink.h"
#include "shell/StateSnapshot.h"
#include "table/CsvLog.h"
#include "table/ExportWriters.h"
#include "table/FlexGrid.h"

#include <QDir>
#include <QFileDevice>
#include <QFileInfo>
#include <QIODevice>
#include <QJsonDocument>
#include <QJsonObject>

HeadlessSession::HeadlessSession(MainCore &core, QObject *parent) : QObject(parent), core_(core)
{
    timeLimit_.setSingleShot(true);
    timeLimit_.setTimerType(Qt::PreciseTimer);   // "--seconds 2" means two seconds, not 1.9
    connect(&timeLimit_, &QTimer::timeout, this, &HeadlessSession::stop);
    connect(&core_, &MainCore::frameHandled, this, &HeadlessSession::onFrameHandled);
    connect(&core_, &MainCore::rowCompleted, this, &HeadlessSession::onRowCompleted);
    connect(&core_, &MainCore::receiveTickDone, this, &HeadlessSession::onReceiveTickDone);
    connect(&core_, &MainCore::portLost, this, &HeadlessSession::onPortLost);
    connect(&core_, &MainCore::portRestored, this, &HeadlessSession::onPortRestored);
    connect(&core_, &MainCore::answerChanged, this, &HeadlessSession::onAnswerChanged);
    chartMark_ = core_.Picture4.mark();
}

bool HeadlessSession::start(const QString &device)
{
    if (started_)
        return isRunning();
    core_.Form_Load();
    core_.Combo1Text = device;
    core_.cmdComm_Click();
    if (!core_.MSComm1->isOpen())
        return false;
    started_ = true;
    writeEvent(QJsonObject{{QLatin1String("event"), QLatin1String("open")}}, 0);
    if (timeLimitMs_ > 0)
        timeLimit_.start(timeLimitMs_);
    return true;
}

void HeadlessSession::stop()
{
    if (isRunning())
        finish(0, true);
}

void HeadlessSession::onFrameHandled(const QString &content)
{
    if (!isRunning())
        return;
    writeEvent(QJsonObject{{QLatin1String("event"), QLatin1String("frame")}, {QLatin1String("frame"), content}},
               core_.rowWrittenByFrame());
    // Checked here rather than when the row completes, so that the frame that
    // completed the last wanted row is still reported.
    checkRowLimit();
    // The end of a transfer that left rows in the table (an end frame on an
    // empty table starts a fresh recording instead).
    if (isRunning() && untilEnd_ && content.startsWith(QLatin1Char('E')) && core_.m.GridRow > 1)
        finish(0, true);
}

void HeadlessSession::onRowCompleted(int row)
{
    if (!isRunning())
        return;
    ++rowsCompleted_;
    if (csv_ && !csv_->appendGridRow(*core_.MSFlexGrid1, row)) {
        // A log that silently stops being a log is worse than none: say so
        // once and end, so the person running it finds out.
        emit message(QStringLiteral("row %1 was not written to the CSV file: %2; logging ends").arg(row).arg(csv_->errorString()));
        finish(1, true);
    }
}

void HeadlessSession::onReceiveTickDone(bool handledModelFrame)
{
    if (!isRunning())
        return;
    checkRowLimit();
    if (!isRunning())
        return;
    if (handledModelFrame && !core_.Timer2.isActive()) {
        core_.cmdClear_Click();
        writeEvent(QJsonObject{{QLatin1String("event"), QLatin1String("Clear")}}, 0);
    }
}

void HeadlessSession::onPortLost(const QString &reason)
{
    if (!isRunning())
        return;
    writeEvent(QJsonObject{{QLatin1String("event"), QLatin1String("lost")}, {QLatin1String("reason"), reason}}, 0);
    if (reconnect_) {
        emit message(QStringLiteral("the port was lost (%1); waiting for %2 to come back")
                         .arg(reason, core_.MSComm1->device()));
        return;
    }
    emit message(QStringLiteral("the port was lost: %1").arg(reason));
    finish(2, false);
}

void HeadlessSession::onPortRestored(const QString &device)
{
    if (!isRunning())
        return;
    emit message(QStringLiteral("%1 is back; logging goes on").arg(device));
    writeEvent(QJsonObject{{QLatin1String("event"), QLatin1String("reconnected")}}, 0);
}

void HeadlessSession::onAnswerChanged(bool answering)
{
    if (!isRunning())
        return;
    const QString device = core_.MSComm1->device();
    emit message(answering ? QStringLiteral("the meter on %1 answers").arg(device)
                           : QStringLiteral("no answer from %1 in %2 seconds of polling: is the meter switched on, "
                                            "and is its cable on this port?")
                                 .arg(device)
                                 .arg(MainCore::kNoAnswerPolls * core_.Timer2.interval() / 1000));
}

void HeadlessSession::checkRowLimit()
{
    if (rowLimit_ > 0 && rowsCompleted_ >= rowLimit_)
        finish(0, true);
}

void HeadlessSession::finish(int exitCode, bool sendExitRequest)
{
    finished_ = true;
    timeLimit_.stop();
    // As a user would: Export, then Exit.
    if (!exportFile_.isEmpty())
        exitCode = exportAtEnd(exitCode);
    if (sendExitRequest)
        core_.cmdExit_Click();
    // The window would be gone now: nothing more is read or polled.
    core_.Timer1.stop();
    core_.Timer2.stop();
    core_.ReconnectTimer.stop();
    emit finished(exitCode);
}

int HeadlessSession::exportAtEnd(int exitCode)
{
    // Export pressed with the file chosen in its dialog; a failure has been
    // told through the core's prompts.
    const int rows = core_.m.GridRow - 1;
    if (!core_.exportTo(exportFile_, tidyCsv_)) {
        // The table goes with the process, and the recordings store may be
        // off (--no-journal) or failing: the rows land in a file all the same.
        if (rows > 0)
            keepRowsElsewhere(rows);
        return exitCode ? exitCode : 1;
    }
    emit message(rows > 0 ? QStringLiteral("%1 exported to %2").arg(rowsText(rows), exportFile_)
                          : QStringLiteral("the table is empty: nothing exported to %1").arg(exportFile_));
    return exitCode;
}

namespace {

// `path`, or with "-2", "-3", ... before its suffix: a name nothing has yet,
// so that keeping rows never replaces a file.
QString freeName(const QString &path)
{
    const auto taken = [](const QString &p) { return QFileInfo::exists(p) || QFileInfo(p).isSymLink(); };
    const QFileInfo info(path);
    QString name = path;
    for (int n = 2; taken(name) && n < 1000; ++n)
        name = info.dir().filePath(QStringLiteral("%1-%2.%3").arg(info.completeBaseName()).arg(n).arg(info.suffix()));
    return name;
}

} // namespace

void HeadlessSession::keepRowsElsewhere(int rows)
{
    // Beside the export file, else in the current folder, else in the
    // system's temporary folder; as CSV, which any program reads.
    const QString name = QFileInfo(exportFile_).fileName() + QStringLiteral(".rows.csv");
    const QString places[] = {exportFile_ + QStringLiteral(".rows.csv"), QDir::current().filePath(name),
                              QDir::temp().filePath(name)};
    const ExportSource source = core_.MSFlexGrid1->exportSource(core_.m.GridRow);
    QString why;
    for (const QString &place : places) {
        const QString file = freeName(place);
        why = exportTable(file, source);
        if (why.isEmpty()) {
            emit message(QStringLiteral("the %1 went to %2 instead").arg(rowsText(rows), file));
            return;
        }
    }
    emit message(QStringLiteral("the %1 could not be kept anywhere (%2): they are lost").arg(rowsText(rows), why));
}

void HeadlessSession::writeEvent(const QJsonObject &lead, int writtenRow)
{
    if (!json_)
        return;
    // The event's own fields first and the state after them, so that a
    // person tailing the stream sees at the start of each line what
    // happened. Each part is a valid object; joining them drops the "}" of
    // the first and the "{" of the second.
    QByteArray line = QJsonDocument(lead).toJson(QJsonDocument::Compact);
    line.chop(1);
    line += ',';
    line += QJsonDocument(stateSnapshot(core_, writtenRow, chartMark_)).toJson(QJsonDocument::Compact).mid(1);
    chartMark_ = core_.Picture4.mark();
    line += '\n';
    json_->write(line);
    if (auto *file = qobject_cast<QFileDevice *>(json_))
        file->flush();
}

QString rowsText(int n)
{
    return QStringLiteral("%1 %2").arg(n).arg(n == 1 ? QStringLiteral("row") : QStringLiteral("rows"));
}
