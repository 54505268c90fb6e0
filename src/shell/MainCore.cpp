#include "shell/MainCore.h"

#include "derive/TempCoefTable.h"
#include "shell/PortNames.h"
#include "shell/SerialLink.h"
#include "shell/UiPrompts.h"
#include "text/LeadingNumber.h"

#include <cmath>

MainCore::MainCore(SerialLink *port, UiPrompts *prompts, QObject *parent)
    : QObject(parent), MSFlexGrid1(new FlexGrid(this)), MSComm1(port), listDevices(portnames::presentDevices),
      prompts_(prompts), chartRows_(std::make_shared<ChartRowCache>(MSFlexGrid1))
{
    for (int i = 1; i <= 9; ++i)
        Combo1List << QString::number(i);
    Combo1Text = QStringLiteral("1");
    Timer1.setInterval(10);
    Timer2.setInterval(1000);
    ReconnectTimer.setInterval(kReconnectMs);
    connect(&ReconnectTimer, &QTimer::timeout, this, &MainCore::ReconnectTimer_Timer);
    connect(&Timer1, &QTimer::timeout, this, &MainCore::Timer1_Timer);
    connect(&Timer2, &QTimer::timeout, this, &MainCore::Timer2_Timer);
    connect(MSComm1, &SerialLink::lost, this, &MainCore::onPortLost);
}

MainCore::~MainCore() = default;

void MainCore::Form_Load()
{
    std::copy(kTempCoefValues.begin(), kTempCoefValues.end(), m.TempCoefTable.begin());
    for (auto &l : lcd.lblLCD)
        l.Caption.clear();
    lcd.Shape1.fill(false);
    m.PollCommand = QStringLiteral("A");
    chart.clear();
    for (int i = 0; i < 7; ++i) {
        panel.Label1[std::size_t(i)].Caption.clear();
        panel.Label2[std::size_t(i)].Caption.clear();
        panel.Line2[std::size_t(i)] = false;
    }
    m.PollingOn = false;
    CommPort = 1;   // the port is chosen, not opened
    m.GridRow = 1;
    MSFlexGrid1->setTopRow(1);
    Timer1.start();
    emit changed();
}

void MainCore::selectPort(bool fromList)
{
    // A port chosen by hand ends any waiting for a lost one.
    ReconnectTimer.stop();
    lostDevice_.clear();
    withdrawLossNotice();
    unansweredPolls_ = 0;
    Timer1.stop();
    Timer2.stop();
    enabled.cmdClear = false;
    enabled.cmdExport = false;

    // A device that exists but would not open also says why, and what to
    // do about a permission: the fixed text alone leaves a user guessing.
    auto fail = [&](const QString &detail = QString()) {
        Combo1Text = QStringLiteral("1");
        emit changed();
        prompts_->MsgBox(QStringLiteral("The commport number isn't valid,please select again!"),
                         fromList ? UiPrompts::Icon::Critical : UiPrompts::Icon::None, detail);
    };

    QString device;
    if (portnames::namesDevice(Combo1Text)) {
        device = portnames::deviceForText(Combo1Text);
    } else {
        const double n = std::nearbyint(Val(Combo1Text));
        if (!(n >= 1 && n <= 255))
            return fail();
        CommPort = int(n);
        device = portnames::deviceForNumber(CommPort, listDevices());
    }
    if (MSComm1->isOpen()) {
        const QString was = MSComm1->device();
        MSComm1->close();
        emit portClosed(was);
    }
    if (device.isEmpty())
        return fail();
    if (!MSComm1->open(device))
        return fail(portnames::openFailureDetail(device, MSComm1->openError()));
    Timer1.start();
    Timer2.start();
    enabled.cmdClear = true;
    enabled.cmdExport = true;
    emit portOpened(device);
    emit changed();
}

void MainCore::Combo1_Click()
{
    selectPort(true);
}

void MainCore::cmdComm_Click()
{
    if (Combo1Text.isEmpty()) {
        Combo1Text = QStringLiteral("1");
        emit changed();
        prompts_->MsgBox(QStringLiteral("please select the commport number!"), UiPrompts::Icon::Critical);
        return;
    }
    selectPort(false);
}

void MainCore::startPolling()
{
    // With the port lost there is nobody to ask: polling starts when it is
    // back.
    if (waitingForPort())
        pollOnReturn_ = true;
    else
        Timer2.start();
    m.PollingOn = true;
}

void MainCore::startNewRecording()
{
    Init_FlexGrid();
    lcd.lblLCD[10].Caption.clear();
    Picture4.Cls();
    startPolling();
    Draw_Scale();
}

void MainCore::cmdClear_Click()
{
    emit cleared();
    startNewRecording();
    emit changed();
}

void MainCore::cmdStdAdd_Click()
{
    emit stdAddRequested();
}

void MainCore::cmdExit_Click()
{
    if (MSComm1->isOpen())
        MSComm1->write(QByteArrayLiteral("@B#"));
    emit exitRequested();
}

void MainCore::Timer2_Timer()
{
    if (!MSComm1->isOpen())
        return;
    MSComm1->write("@" + m.PollCommand.toLatin1() + "#");
    // (A write can find the port gone; then the loss says it all.)
    if (MSComm1->isOpen() && ++unansweredPolls_ == kNoAnswerPolls) {
        emit answerChanged(false);
        emit changed();
    }
}
