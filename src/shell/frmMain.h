#pragma once
#include "shell/UiPrompts.h"

#include <QPointer>
#include <QWidget>
#include <array>

class MainCore;
class QtSerialLink;
class LcdWidget;
class ChartWidget;
class GridView;
class QLabel;
class QPushButton;
class QComboBox;
class QRadioButton;
class QFrame;
class Recorder;
class QMessageBox;
class frmStdAdd;
class QProgressDialog;
class QMessageBox;

// The main window: draws the core's control data at the window's twip
// layout and hands clicks and selections to the core's handlers.
class frmMain : public QWidget, public UiPrompts
{
    Q_OBJECT
public:
    explicit frmMain(QWidget *parent = nullptr);
    ~frmMain() override;

    MainCore &core() { return *core_; }

    // Opens DEVICE as if it had been typed into the port list and selected.
    void selectAtStart(const QString &device);

    void MsgBox(const QString &text, Icon icon, const QString &detail = QString()) override;
    void Notice(const QString &text) override;
    QString SaveFileName(const QString &title, const QString &proposed, const QString &filter,
                         QString *chosenFilter = nullptr) override;
    bool Progress(const QString &text, int done, int total) override;
    void OpenDocument(const QString &file) override;

    // Keeps every completed row and event in the recordings store in
    // `folder`, and offers unfinished recordings (frmMainJournal.cpp).
    void enableJournal(const QString &folder);
    Recorder *recorder() const { return recorder_; }
    // The broker's trouble, told as a notice that does not wait for an
    // answer; "" takes it away.
    void brokerNotice(const QString &text);
    // SIGTERM, SIGHUP, SIGINT: ends as Exit does, without asking (a signal
    // cannot answer): held rows go to the fallback store, named on stderr.
    void endBySignal(int signalNumber);
    // The report of the recording in the table (from the store when there
    // is one), to a PDF the user names.
    void saveReport();
    // Every stored recording in the Recordings dialog (frmMainRecordings.cpp).
    void showRecordings();
    // The electrode limits reports check against, saved for the user.
    void showLimits();
    // "Sample…", "Add note…" (proposed on grid row `row`, 0: none) and
    // "Sign…" (frmMainAnnotate.cpp).
    void chooseSample();
    void addNote(int row);
    void signRecording();

private:
    void render();
    // Exit while the store holds rows it has not taken: asks first, and
    // says they will be saved to a fallback store (frmMainJournal.cpp).
    bool exitAllowed();
    void refreshPortTooltip();

    QtSerialLink *link_;
    MainCore *core_;
    LcdWidget *lcd_;
    QWidget *picture2_;
    std::array<QLabel *, 7> label1_{};
    std::array<QLabel *, 7> label2_{};
    std::array<QFrame *, 7> line2_{};
    ChartWidget *chart_;
    GridView *grid_;
    QFrame *frame1_;
    std::array<QRadioButton *, 6> option1_{};
    QPushButton *cmdClear_, *cmdExport_, *cmdStdAdd_, *cmdExit_, *cmdComm_;
    QComboBox *combo1_;
    Recorder *recorder_ = nullptr;
    QPointer<QMessageBox> storeNotice_, brokerNotice_;
    void showNotice(QPointer<QMessageBox> &slot, const QString &text);
    // The calculator, made on first use; Exit unloads (deletes) it.
    QPointer<frmStdAdd> StdAddFormInstance;
    void showStdAdd();
    QProgressDialog *progress_ = nullptr;
    QMessageBox *notice_ = nullptr;   // the one notice box, made on first use
    bool endingBySignal_ = false;     // no box may wait for an answer any more

};
