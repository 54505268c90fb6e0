#pragma once
#include "table/CsvLog.h"

#include <QDateTime>
#include <QObject>
#include <QTimer>
#include <functional>

class FlexGrid;

// The window's crash journal: every completed row, as it lands, goes to one
// CSV file per recording (named by the computer's time when its first row
// came) in a folder of the user's data, with the computer's date and time of
// receipt as an extra last column, since the meter's own clock has no year.
// Each line is handed to the system at once (a killed program loses
// nothing) and the file is synced to disk at least once a second (a power
// cut loses at most that second).
//
// A recording is "open" from its first row until it is closed by Export or
// Exit; one left open (the program was killed, the power went, or Clear
// started another without an export) is listed by unfinished() at the next
// start, so its rows can be offered back.
class RowJournal : public QObject
{
    Q_OBJECT
public:
    RowJournal(const FlexGrid &grid, const QString &folder, QObject *parent = nullptr);
    ~RowJournal() override;

    // The computer's clock; replaceable for tests.
    std::function<QDateTime()> now = [] { return QDateTime::currentDateTime(); };

    // A completed data row; row 1 begins a new recording (the table has
    // been laid out anew). False, with errorString(), when it was not kept.
    bool appendRow(int row);
    // The current recording ended by Export or Exit.
    void closeRecording();

    QString currentFile() const { return current_; }
    QString errorString() const { return error_; }

    // Recordings left open, oldest first; forget() takes them off the list.
    static QStringList unfinished(const QString &folder);
    static void forget(const QStringList &files);

    // The folder the window journals to by default.
    static QString defaultFolder();

private:
    bool startRecording();
    void sync();

    const FlexGrid &grid_;
    QString folder_;
    CsvLog csv_;
    QString current_;
    QString error_;
    QTimer syncTimer_;
    bool dirty_ = false;
};
