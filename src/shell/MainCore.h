#pragma once
#include "chart/ChartDecorations.h"
#include "chart/ChartPicture.h"
#include "chart/ChartRows.h"
#include "lcd/LcdMirror.h"
#include "shell/Module1.h"
#include "shell/SettingsPanel.h"
#include "table/FlexGrid.h"
#include "tidy/ReadingSource.h"

#include <QDateTime>
#include <QObject>
#include <QStringList>
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>

class SerialLink;
class UiPrompts;

// The main window without its pixels: every handler, timer and procedure of
// the main window, and the data of every control it shows. The window, the
// headless logger and the tests all drive this one object; it knows nothing
// of whether a screen exists.
class MainCore : public QObject
{
    Q_OBJECT
public:
    MainCore(SerialLink *port, UiPrompts *prompts, QObject *parent = nullptr);
    ~MainCore() override;

    // Program-wide state
    Module1 m;

    // Controls' data
    QString Caption = QStringLiteral("Form1");   // window title
    LcdMirror lcd;                                // Picture1
    SettingsPanel panel;                          // Picture2
    ChartDecorations chart;                       // Picture4's axes and labels
    ChartPicture Picture4;                        // what is drawn in the chart
    FlexGrid *MSFlexGrid1;
    bool Frame1Visible = true;                    // chart range selector
    int Option1Value = -1;                        // selected range button, -1 none
    struct Enabled {
        bool cmdClear = false, cmdExport = false, cmdStdAdd = false;
        bool cmdExit = true, cmdComm = true;
    } enabled;
    QStringList Combo1List;
    QString Combo1Text;
    int CommPort = 0;
    SerialLink *MSComm1;
    QTimer Timer1;                                // receive tick, 10 ms
    QTimer Timer2;                                // poll tick, 1000 ms
    QTimer ReconnectTimer;                        // looks for a lost port, every 2 s
    static constexpr int kReconnectMs = 2000;

    // Handlers
    void Form_Load();
    void Combo1_Click();                          // a list entry was chosen (Combo1Text holds it)
    void cmdComm_Click();
    void cmdClear_Click();
    void cmdExport_Click();
    void cmdStdAdd_Click();
    void cmdExit_Click();
    void Timer1_Timer();
    void Timer2_Timer();
    void Option1_Click(int index);
    void ReconnectTimer_Timer();
    void Picture4_Click();

    // Procedures
    void Init_FlexGrid();
    void Cond_RES_TDS_SAL();
    void pX_mol_mg_ppm();
    void HhMmSs_Ss();
    void Draw_Scale();
    void Draw_Line();

    // The two halves of appending a row, shared by the decoders that add rows.
    void beginGridRow();
    void endGridRow();

    // Export with the file already chosen, as the button goes on after its
    // dialog: write the table and start a new recording. An empty table
    // writes nothing and only starts anew. False when the file could not be
    // written: the user has been told, and the table, the chart and polling
    // are as they were. A ".jsonl" name writes the readings as JSON Lines,
    // and a ".csv" one with `tidyCsv` one reading a row (ReadingExport).
    bool exportTo(const QString &file, bool tidyCsv = false);
    // Writes the table to `file` as exportTo does, nothing more: empty on
    // success, else why not; `cancelled` when `progress` answered false.
    QString writeExport(const QString &file, bool tidyCsv, const std::function<bool(int, int)> &progress,
                        bool &cancelled);
    static constexpr int kExportProgressRows = 50000;   // more rows than this show progress

    // The computer's clock (replaceable, so a test can fix the time).
    std::function<QDateTime()> now = [] { return QDateTime::currentDateTime(); };

    // The serial devices present, in port-number order (replaceable, so a
    // test can stand in a machine's set of adapters).
    std::function<QStringList()> listDevices;

    // Writes an export through whoever keeps the recording, which makes it
    // an event of the recording's chain: `write` gets the document
    // properties the file is to carry (the recording, the entry of its own
    // event and that entry's fingerprint) and returns its error. Unset: the
    // file is written without them.
    using PropertiesWriter = std::function<QString(const QList<std::pair<QString, QString>> &)>;
    std::function<QString(const QString &file, int rows, const PropertiesWriter &write)> anchoredExport;

    // The table's readings as stored (set by whoever keeps the recording),
    // for the exports of readings; nothing where the store does not hold
    // every row of the table, and then they are built from the table.
    std::function<std::optional<ReadingSource>()> storedReadings;

    // The letter of the frame whose decoder is running, else 0.
    QChar decodingFrame() const { return decoding_; }

    // What the chart reads from each row of the current table.
    const ChartRowCache &chartRows() const { return *chartRows_; }
    std::size_t chartMemoryBytes() const { return chartRows_->memoryBytes() + Picture4.memoryBytes(); }

    // The data row the frame being handled wrote, or 0.
    int rowWrittenByFrame() const { return rowWritten_; }

    // A lost port is being looked for (ReconnectTimer runs).
    bool waitingForPort() const;

    // Polls written since the last frame arrived. After kNoAnswerPolls of
    // them (five seconds of polling) nothing answers on the open port: the
    // meter is off, or on another port or cable. Any frame ends it.
    static constexpr int kNoAnswerPolls = 5;
    bool noAnswer() const { return unansweredPolls_ >= kNoAnswerPolls; }

    static constexpr int kMaxFrame = 1024;

signals:
    void changed();                               // something visible changed
    void frameHandled(const QString &content);    // after each frame's decoder
    void receiveTickDone(bool handledModelFrame);
    void rowCompleted(int row);                   // a data row is complete
    void exitRequested();
    void exported(const QString &file, int rows);  // data rows written; the recording is closed
    void stdAddRequested();
    void portLost(const QString &reason);
    void portRestored(const QString &device);
    // For whoever keeps an account of the session (the recordings store):
    // the table laid out anew (by the frame of `frameLetter` while a
    // decoder runs, else 0: a button), Clear pressed (before its layout),
    // a range chosen, a port opened or closed by choice.
    void tableLaidOut(QChar frameLetter);
    void cleared();
    void rangeChosen(int index);
    void portOpened(const QString &device);
    void portClosed(const QString &device);
    // The meter went silent on an open port (noAnswer()), or answers again.
    void answerChanged(bool answering);

private:
    void selectPort(bool fromList);
    void onPortLost(const QString &reason);
    void withdrawLossNotice();
    void startPolling();
    TraceParams liveTraceParams() const;

public:
    // Clear's steps, which an end frame on an empty table repeats.
    void startNewRecording();

    // Lays the table out anew with `rows` data rows read from elsewhere (a
    // recording kept on disk), as if each had just been logged: the same
    // cells, highlight, growth and scrolling, and with `drawChart` the
    // chart's steps and doublings as the live readings drew them. Emits no
    // rowCompleted: the rows are not new.
    void reloadTable(int rows, const std::function<void(int row, std::array<QString, 8> &cells)> &read,
                     bool drawChart);
    // The same in steps, for a caller that lets the event loop run between
    // batches: the layout; the rows with a hole in the log before them (the
    // chart breaks its lines there); `count` more rows from GridRow on;
    // the highlight on the last row and the row count shown.
    void beginReload();
    void markChartGap(int row);
    void reloadRows(int count, const std::function<void(int row, std::array<QString, 8> &cells)> &read,
                    bool drawChart);
    void endReload();

    // What arrives on the port waits in its buffer while held (an export
    // writing the table, a restore filling it), and is handled after.
    void holdReceive(bool held) { receiveHeld_ = held; }

    // For a logger whose rows only stream on (to a file, the store, a
    // broker), with nothing at its end that reads the whole log back: the
    // table keeps only its newest rows and the chart draws nothing, so that
    // memory stays flat however long it runs. The window never sets it.
    void setStreamingOnly(bool on) { streamingOnly_ = on; }

private:

    UiPrompts *prompts_;
    QString lostDevice_;                          // the port to reopen, while ReconnectTimer runs
    bool pollOnReturn_ = false;                   // restart polling when the lost port is back
    bool lossReported_ = false;                   // the loss notice is up
    int unansweredPolls_ = 0;
    std::shared_ptr<ChartRowCache> chartRows_;
    int rowWritten_ = 0;
    bool receiveHeld_ = false;                    // an export is writing the table
    QChar decoding_;                              // the letter of the frame a decoder handles, else 0
    bool layingOut_ = false;                      // Init_FlexGrid sets the default range
    bool streamingOnly_ = false;
    void advanceGridRow();
};
