#include "shell/MainCore.h"
#include "shell/SerialLink.h"
#include "shell/UiPrompts.h"

// The adapter went away while open: keep every logged row, stop asking the
// meter, say so, and look for the same device every two seconds. Clear and
// Export stay usable meanwhile: saving the rows logged so far is what a user
// most wants to do now.
void MainCore::onPortLost(const QString &reason)
{
    // (A loss while already waiting keeps what the first one found.)
    if (!ReconnectTimer.isActive()) {
        lostDevice_ = MSComm1->device();
        pollOnReturn_ = Timer2.isActive();
    }
    Timer2.stop();
    unansweredPolls_ = 0;
    if (!lostDevice_.isEmpty())
        ReconnectTimer.start();
    emit changed();
    emit portLost(reason);
    // One notice until the port is back or another is chosen, and none
    // left behind once it is: a cable that comes and goes must not pile up
    // boxes, nor leave one saying "lost" over a log that runs again.
    if (lossReported_)
        return;
    lossReported_ = true;
    prompts_->Notice(QStringLiteral("The connection to the meter on %1 was lost. The logged rows are kept; "
                                    "logging goes on by itself when the adapter is plugged back in.")
                         .arg(lostDevice_));
}

// Every two seconds while a port is lost: open the same device again and go
// on as before the loss (polling included, if it ran then or a Clear or an
// Export asked for it meanwhile).
void MainCore::ReconnectTimer_Timer()
{
    if (lostDevice_.isEmpty() || !MSComm1->open(lostDevice_))
        return;
    ReconnectTimer.stop();
    withdrawLossNotice();
    enabled.cmdClear = true;
    enabled.cmdExport = true;
    Timer1.start();
    if (pollOnReturn_)
        Timer2.start();
    emit changed();
    emit portRestored(lostDevice_);
}

void MainCore::withdrawLossNotice()
{
    if (!lossReported_)
        return;
    lossReported_ = false;
    prompts_->Notice(QString());
}

bool MainCore::waitingForPort() const
{
    return ReconnectTimer.isActive();
}
