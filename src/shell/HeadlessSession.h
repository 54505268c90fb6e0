#pragma once
#include "chart/ChartPicture.h"

#include <QObject>
#include <QString>
#include <QTimer>

class CsvLog;
class MainCore;
class QIODevice;
class QJsonObject;

// A logging session without a window: it does to the core what a user at
// the window would do to record readings, and reports what the window shows.
//
// - start(): start-up, then the port typed into the list and Select CommID.
// - A model frame stops polling; a user then presses Clear to start a fresh
//   recording. So after a receive tick that handled an "M" frame, if polling
//   is still stopped at the end of that tick, the session presses Clear.
//   (An "E" frame on an empty table in the same tick has already restarted
//   polling, and then nothing needs pressing.)
// - Every completed table row goes to the CSV log, if one is set; a row the
//   file does not take ends the session with finished(1) and the exit request.
// - With a JSON output, one compact object per line: "open" after the port
//   opened, "frame" after each handled frame (with the row it wrote), and
//   the name of each button pressed on its own ("Clear"), each followed by
//   the whole visible state.
// - It ends after a number of completed rows, after a time, after an end
//   frame that found rows in the table (if asked), or on stop(),
//   in each case sending the exit request as Exit does; finished(0). A lost
//   port ends it with finished(2) and no request (there is no port to send
//   it to), after an "event":"lost" object; with reconnection asked for it
//   goes on instead, and the core reopens the device when it is back
//   ("event":"reconnected"). After finished() the session ignores the core.
// - A meter that stops answering the polls, and one that answers again, is
//   said once each.
// - With an export file, the session's end presses Export and answers its
//   dialog with that file, then says how many rows went where; an export
//   that fails makes the exit code 1 (unless it was already non-zero), and
//   the rows go to a CSV file beside it (FILE.rows.csv), else in the current
//   or the temporary folder, and the session says where.
// "1 row", "2 rows": how the logger counts rows in what it says.
QString rowsText(int n);

class HeadlessSession : public QObject
{
    Q_OBJECT
public:
    explicit HeadlessSession(MainCore &core, QObject *parent = nullptr);

    void setJsonOutput(QIODevice *out) { json_ = out; }
    void setCsvLog(CsvLog *log) { csv_ = log; }
    void setRowLimit(int rows) { rowLimit_ = rows; }     // 0: no limit
    void setTimeLimit(int ms) { timeLimitMs_ = ms; }     // 0: no limit
    void setUntilEnd(bool on) { untilEnd_ = on; }       // end after a transfer's end frame
    void setReconnect(bool on) { reconnect_ = on; }     // wait for a lost port instead of ending
    // "": no export; `tidyCsv`: a .csv of one reading a row.
    void setExportFile(const QString &file, bool tidyCsv = false)
    {
        exportFile_ = file;
        tidyCsv_ = tidyCsv;
    }

    // False when the port did not open (the core has said why through its
    // prompts); the session then stays idle.
    bool start(const QString &device);
    // Ends the session as the Exit button would; nothing once finished.
    void stop();

    bool isRunning() const { return started_ && !finished_; }
    int rowsCompleted() const { return rowsCompleted_; }

signals:
    void finished(int exitCode);
    // Something the person running the logger should read (a lost port, a
    // row the CSV file did not take).
    void message(const QString &text);

private:
    void onFrameHandled(const QString &content);
    void onRowCompleted(int row);
    void onReceiveTickDone(bool handledModelFrame);
    void onPortLost(const QString &reason);
    void onPortRestored(const QString &device);
    void onAnswerChanged(bool answering);
    void checkRowLimit();
    void finish(int exitCode, bool sendExitRequest);
    int exportAtEnd(int exitCode);
    void keepRowsElsewhere(int rows);
    void writeEvent(const QJsonObject &lead, int writtenRow);

    MainCore &core_;
    QIODevice *json_ = nullptr;
    CsvLog *csv_ = nullptr;
    int rowLimit_ = 0;
    int timeLimitMs_ = 0;
    bool untilEnd_ = false;
    bool reconnect_ = false;
    QString exportFile_;
    bool tidyCsv_ = false;
    QTimer timeLimit_;
    bool started_ = false;
    bool finished_ = false;
    int rowsCompleted_ = 0;
    ChartPicture::Mark chartMark_;   // the chart as the last event left it
};
