#include "shell/frmMain.h"

#include "chart/ChartWidget.h"
#include "lcd/LcdWidget.h"
#include "record/Recorder.h"
#include "shell/ExportName.h"
#include "shell/MainCore.h"
#include "shell/PortNames.h"
#include "shell/QtSerialLink.h"
#include "shell/Twips.h"
#include "shell/frmFonts.h"
#include "shell/frmMessageBox.h"
#include "stdadd/frmStdAdd.h"
#include "table/GridView.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QShortcut>
#include <QUrl>

#include <utility>

namespace {

QPushButton *button(QWidget *parent, const char *name, const char *text, QRect geometry)
{
    auto *b = new QPushButton(QString::fromLatin1(text), parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setGeometry(geometry);
    b->setFont(arial(15.75));
    return b;
}

// The chart range buttons: captions and places inside Frame1.
struct RangeButton { const char *caption; int left, top; };
constexpr RangeButton kRanges[6] = {{"20uS", 360, 240},  {"200uS", 1560, 240}, {"2000uS", 2760, 240},
                                    {"20mS", 360, 600},  {"200mS", 1560, 600}, {"2000mS", 2760, 600}};

QString noAnswerText(const QString &device)
{
    return QStringLiteral("no answer from %1").arg(device);
}

} // namespace

frmMain::frmMain(QWidget *parent)
    : QWidget(parent), link_(new QtSerialLink(this)), core_(new MainCore(link_, this, this))
{
    setObjectName(QStringLiteral("frmMain"));
    setFixedSize(px(15240), px(10620));
    setFont(arial(9));

    lcd_ = new LcdWidget(this);
    lcd_->move(px(240), px(120));

    picture2_ = new QFrame(this);
    picture2_->setObjectName(QStringLiteral("Picture2"));
    picture2_->setGeometry(twipRect(240, 3600, 4455, 3615));
    static_cast<QFrame *>(picture2_)->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    static constexpr int kLineY[7] = {480, 960, 1440, 1920, 2400, 2880, 3390};
    for (int i = 0; i < 7; ++i) {
        auto *caption = new QLabel(picture2_);
        caption->setObjectName(QStringLiteral("Label1_%1").arg(i));
        caption->setGeometry(twipRect(240, 120 + 480 * i, 1215, 375));
        caption->setAlignment(Qt::AlignCenter);
        caption->setFont(arial(15.75));
        auto *value = new QLabel(picture2_);
        value->setObjectName(QStringLiteral("Label2_%1").arg(i));
        value->setGeometry(twipRect(1440, 120 + 480 * i, 2655, 375));
        value->setAlignment(Qt::AlignCenter);
        value->setFont(arial(15.75));
        auto *line = new QFrame(picture2_);
        line->setObjectName(QStringLiteral("Line2_%1").arg(i));
        line->setFrameShape(QFrame::HLine);
        line->setFrameShadow(QFrame::Plain);
        line->setGeometry(px(1440), px(kLineY[i]), px(4080 - 1440), 1);
        line->hide();
        label1_[std::size_t(i)] = caption;
        label2_[std::size_t(i)] = value;
        line2_[std::size_t(i)] = line;
    }

    chart_ = new ChartWidget(core_->chart, core_->Picture4, this);
    chart_->setGeometry(twipRect(4920, 120, 10095, 7215));
    connect(chart_, &ChartWidget::clicked, this, [this] { core_->Picture4_Click(); });
    connect(chart_, &ChartWidget::reportRequested, this, &frmMain::saveReport);
    connect(chart_, &ChartWidget::sampleRequested, this, &frmMain::chooseSample);
    connect(chart_, &ChartWidget::noteRequested, this, [this] { addNote(0); });
    connect(chart_, &ChartWidget::signRequested, this, &frmMain::signRecording);

    grid_ = new GridView(core_->MSFlexGrid1, this);
    grid_->setGeometry(twipRect(4920, 7440, 10095, 3015));
    connect(grid_, &GridView::reportRequested, this, &frmMain::saveReport);
    connect(grid_, &GridView::recordingsRequested, this, &frmMain::showRecordings);
    connect(grid_, &GridView::limitsRequested, this, &frmMain::showLimits);
    connect(chart_, &ChartWidget::limitsRequested, this, &frmMain::showLimits);
    auto *recordings = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_R), this);
    connect(recordings, &QShortcut::activated, this, &frmMain::showRecordings);
    connect(grid_, &GridView::sampleRequested, this, &frmMain::chooseSample);
    connect(grid_, &GridView::noteRequested, this, &frmMain::addNote);
    connect(grid_, &GridView::signRequested, this, &frmMain::signRecording);

    frame1_ = new QFrame(this);
    frame1_->setObjectName(QStringLiteral("Frame1"));
    frame1_->setFrameStyle(QFrame::Box | QFrame::Sunken);
    frame1_->setGeometry(twipRect(240, 7320, 4455, 975));
    for (int i = 0; i < 6; ++i) {
        auto *o = new QRadioButton(QString::fromLatin1(kRanges[i].caption), frame1_);
        o->setObjectName(QStringLiteral("Option1_%1").arg(i));
        o->setGeometry(twipRect(kRanges[i].left, kRanges[i].top, 1155, 300));
        connect(o, &QRadioButton::clicked, this, [this, i] { core_->Option1_Click(i); render(); });
        option1_[std::size_t(i)] = o;
    }

    cmdClear_ = button(this, "cmdClear", "Clear", twipRect(240, 8520, 2175, 495));
    cmdExport_ = button(this, "cmdExport", "Export", twipRect(2520, 8520, 2175, 495));
    cmdStdAdd_ = button(this, "cmdStdAdd", "Std-Add", twipRect(240, 9120, 2175, 495));
    cmdExit_ = button(this, "cmdExit", "Exit", twipRect(2520, 9120, 2175, 495));
    cmdComm_ = button(this, "cmdComm", "Select CommID", twipRect(240, 9720, 3495, 495));

    combo1_ = new QComboBox(this);
    combo1_->setObjectName(QStringLiteral("Combo1"));
    combo1_->setEditable(true);
    combo1_->setInsertPolicy(QComboBox::NoInsert);
    combo1_->setFont(arial(15.75));
    combo1_->addItems(core_->Combo1List);
    combo1_->setGeometry(px(3960), px(9720), px(615), combo1_->sizeHint().height());

    connect(cmdClear_, &QPushButton::clicked, core_, &MainCore::cmdClear_Click);
    connect(cmdExport_, &QPushButton::clicked, core_, &MainCore::cmdExport_Click);
    connect(cmdStdAdd_, &QPushButton::clicked, core_, &MainCore::cmdStdAdd_Click);
    connect(cmdExit_, &QPushButton::clicked, this, [this] {
        if (exitAllowed())
            core_->cmdExit_Click();
    });
    // Adapters come and go: the tooltip is rebuilt after every selection.
    connect(cmdComm_, &QPushButton::clicked, this, [this] {
        core_->Combo1Text = combo1_->currentText();
        core_->cmdComm_Click();
        refreshPortTooltip();
    });
    connect(combo1_, &QComboBox::activated, this, [this](int index) {
        core_->Combo1Text = combo1_->itemText(index);
        core_->Combo1_Click();
        refreshPortTooltip();
    });
    connect(combo1_, &QComboBox::editTextChanged, this, [this](const QString &t) { core_->Combo1Text = t; });
    connect(core_, &MainCore::changed, this, &frmMain::render);
    connect(core_, &MainCore::portLost, this, &frmMain::refreshPortTooltip);
    connect(core_, &MainCore::portRestored, this, &frmMain::refreshPortTooltip);
    connect(core_, &MainCore::answerChanged, this, &frmMain::refreshPortTooltip);
    connect(core_, &MainCore::exitRequested, this, &QWidget::close);
    connect(core_, &MainCore::stdAddRequested, this, &frmMain::showStdAdd);

    core_->Form_Load();
    refreshPortTooltip();
    render();
}

frmMain::~frmMain()
{
    // The core's timers must not fire into a half-destroyed window.
    core_->Timer1.stop();
    core_->Timer2.stop();
    // The recorder writes its last entries while the core it listens to is
    // still whole: children go in the order they came, the core first.
    delete std::exchange(recorder_, nullptr);
}

void frmMain::showStdAdd()
{
    // Not modal, beside the main window.
    if (!StdAddFormInstance) {
        StdAddFormInstance = new frmStdAdd(this);
        // Beside the main window where the screen has room, else as far
        // right as it stands whole: never partly off the screen.
        QPoint at = frameGeometry().topRight() + QPoint(8, 0);
        if (const QScreen *s = screen()) {
            const QRect room = s->availableGeometry();
            const QSize size = StdAddFormInstance->frameGeometry().size();
            at.setX(qBound(room.left(), at.x(), qMax(room.left(), room.right() + 1 - size.width())));
            at.setY(qBound(room.top(), at.y(), qMax(room.top(), room.bottom() + 1 - size.height())));
        }
        StdAddFormInstance->move(at);
    }
    StdAddFormInstance->show();
    StdAddFormInstance->raise();
    StdAddFormInstance->activateWindow();
}

void frmMain::selectAtStart(const QString &device)
{
    core_->Combo1Text = device;
    core_->cmdComm_Click();
}

void frmMain::MsgBox(const QString &text, Icon icon, const QString &detail)
{
    showMessageBox(this, text, icon, detail);
}

void frmMain::Notice(const QString &text)
{
    // Not modal: the window stays usable (Export the rows, choose another
    // port) and the receive tick goes on, so the box can be taken away
    // when its cause has passed.
    if (text.isEmpty()) {
        if (notice_)
            notice_->hide();
        return;
    }
    if (!notice_) {
        notice_ = new QMessageBox(QMessageBox::Critical, QApplication::applicationName(), QString(),
                                  QMessageBox::Ok, this);
        notice_->setObjectName(QStringLiteral("notice"));
        notice_->setWindowModality(Qt::NonModal);
    }
    notice_->setText(text);
    notice_->show();
}

QString frmMain::SaveFileName(const QString &title, const QString &proposed, const QString &filter,
                              QString *chosenFilter)
{
    // "EXCEL(*.xls)|...|All File(*.*)": the entries are Qt's filters as they stand.
    QFileDialog dialog(this, title, QString(), QString(filter).replace(QLatin1Char('|'), QStringLiteral(";;")));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("xls"));
    dialog.selectFile(proposed);
    // The kind chosen in the filter is the kind written: a name typed
    // without a suffix gets its suffix, and the proposed name (or one typed
    // with another export suffix) changes to it. "All File(*.*)" keeps xls.
    connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog](const QString &entry) {
        const QString suffix = filterSuffix(entry);
        dialog.setDefaultSuffix(suffix.isEmpty() ? QStringLiteral("xls") : suffix);
        const QString name = dialog.selectedFiles().value(0);
        if (!name.isEmpty() && nameForFilter(name, suffix) != name)
            dialog.selectFile(QFileInfo(nameForFilter(name, suffix)).fileName());
    });
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    if (chosenFilter)
        *chosenFilter = dialog.selectedNameFilter();
    return dialog.selectedFiles().first();
}

bool frmMain::Progress(const QString &text, int done, int total)
{
    if (done >= total) {
        delete progress_;
        progress_ = nullptr;
        return true;
    }
    if (!progress_) {
        // Modal to the window. Cancel leaves nothing half done: the file is
        // written under a scratch name and only then put in place.
        progress_ = new QProgressDialog(text, QStringLiteral("Cancel"), 0, total, this);
        progress_->setWindowTitle(QApplication::applicationName());
        progress_->setWindowModality(Qt::WindowModal);
        progress_->setMinimumDuration(0);
    }
    progress_->setValue(done);
    return !progress_->wasCanceled();
}

void frmMain::OpenDocument(const QString &file)
{
    QDesktopServices::openUrl(QUrl::fromLocalFile(file));
}

void frmMain::refreshPortTooltip()
{
    const QStringList devices = portnames::presentDevices();
    QStringList lines;
    for (int i = 0; i < devices.size() && i < 9; ++i)
        lines << QStringLiteral("%1 = %2").arg(i + 1).arg(devices[i]);
    if (lines.isEmpty())
        lines << QStringLiteral("No serial device found; type a device such as /dev/ttyUSB0");
    // The box is only wide enough for a port number: the open device is
    // named here in full, and the list opens as wide as its longest entry.
    if (core_->MSComm1->isOpen())
        lines.prepend(QStringLiteral("Open: %1").arg(core_->MSComm1->device()));
    if (core_->noAnswer() && core_->MSComm1->isOpen())
        lines.prepend(QStringLiteral("No answer from %1: is the meter switched on, and is its cable on this port?")
                          .arg(core_->MSComm1->device()));
    combo1_->setToolTip(lines.join(QLatin1Char('\n')));
    int widest = 0;
    for (int i = 0; i < combo1_->count(); ++i)
        widest = qMax(widest, combo1_->fontMetrics().horizontalAdvance(combo1_->itemText(i)));
    combo1_->view()->setMinimumWidth(widest + 3 * combo1_->fontMetrics().averageCharWidth());
}

void frmMain::render()
{
    const MainCore &c = *core_;
    // A silent meter shows in the title only, so the written title stays
    // what the meter sent.
    const QString title = c.noAnswer() && c.MSComm1->isOpen()
        ? c.Caption + QStringLiteral(" \u2014 ") + noAnswerText(c.MSComm1->device())
        : c.Caption;
    if (windowTitle() != title)
        setWindowTitle(title);
    lcd_->render(c.lcd);
    for (std::size_t i = 0; i < 7; ++i) {
        label1_[i]->setText(c.panel.Label1[i].Caption);
        label1_[i]->setVisible(c.panel.Label1[i].Visible);
        label2_[i]->setText(c.panel.Label2[i].Caption);
        label2_[i]->setVisible(c.panel.Label2[i].Visible);
        line2_[i]->setVisible(c.panel.Line2[i]);
    }
    cmdClear_->setEnabled(c.enabled.cmdClear);
    cmdExport_->setEnabled(c.enabled.cmdExport);
    cmdStdAdd_->setEnabled(c.enabled.cmdStdAdd);
    cmdExit_->setEnabled(c.enabled.cmdExit);
    cmdComm_->setEnabled(c.enabled.cmdComm);
    frame1_->setVisible(c.Frame1Visible);
    for (int i = 0; i < 6; ++i) {
        QSignalBlocker block(option1_[std::size_t(i)]);
        option1_[std::size_t(i)]->setAutoExclusive(false);
        option1_[std::size_t(i)]->setChecked(c.Option1Value == i);
        option1_[std::size_t(i)]->setAutoExclusive(true);
    }
    if (combo1_->currentText() != c.Combo1Text) {
        QSignalBlocker block(combo1_);
        combo1_->setEditText(c.Combo1Text);
    }
    chart_->update();
}
