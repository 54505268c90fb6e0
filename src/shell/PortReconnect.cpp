#include "shell/MainCore.h"
#include "shell/SerialLink.h"
#include "shell/UiPrompts.h"

#include <QTimer>

// The adapter went away while open: keep every logged row, stop asking the
// meter, say so once, and look for the same device every two seconds.
void MainCore::onPortLost(const QString &reason)
{
    // (A loss while already waiting keeps what the first one found.)
    if (!ReconnectTimer.isActive()) {
        lostDevice_ = MSComm1->device();
        lostWhilePolling_ = Timer2.isActive();
    }
    Timer2.stop();
    enabled.cmdClear = false;
    enabled.cmdExport = false;
    if (!lostDevice_.isEmpty())
        ReconnectTimer.start();
    emit changed();
    emit portLost(reason);
    // The loss is noticed in the middle of a read or a write; the message
    // box runs its own event loop, so it waits until that tick has finished.
    // One message until the port is back or another is chosen: a cable
    // that comes and goes must not stack up boxes.
    if (lossReported_)
        return;
    lossReported_ = true;
    QTimer::singleShot(0, this, [this, device = lostDevice_] {
        prompts_->MsgBox(QStringLiteral("The connection to the meter on %1 was lost. The logged rows are kept; "
                                        "logging goes on by itself when the adapter is plugged back in.")
                             .arg(device),
                         UiPrompts::Icon::Critical);
    });
}

// Every two seconds while a port is lost: open the same device again and go
// on as before the loss.
void MainCore::ReconnectTimer_Timer()
{
    if (lostDevice_.isEmpty() || !MSComm1->open(lostDevice_))
        return;
    ReconnectTimer.stop();
    lossReported_ = false;
    enabled.cmdClear = true;
    enabled.cmdExport = true;
    Timer1.start();
    if (lostWhilePolling_)
        Timer2.start();
    emit changed();
    emit portRestored(lostDevice_);
}
