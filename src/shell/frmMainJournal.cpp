#include "record/Recorder.h"
#include "shell/MainCore.h"
#include "shell/frmMain.h"
#include "shell/frmRestoreOffer.h"

#include <QApplication>
#include <QMessageBox>

#include <cstdio>
#include <cstring>

// The recordings store of the window: every row and event to disk as it
// lands, and at start-up the offer of recordings that a crash or a power
// cut left unfinished.
void frmMain::enableJournal(const QString &folder)
{
    recorder_ = new Recorder(*core_, folder, this);
    // The window closed by its frame or by the desktop's logout ends the
    // recording as Exit does: only a crash leaves one to restore.
    connect(qApp, &QCoreApplication::aboutToQuit, recorder_, &Recorder::finishRun);
    // Store trouble is told without a modal box: the receive tick goes on,
    // and the notice goes away when the store takes rows again.
    connect(recorder_, &Recorder::storeFailed, this, [this](const QString &text) { showNotice(storeNotice_, text); });
    connect(recorder_, &Recorder::storeRecovered, this, [this](const QString &) {
        if (storeNotice_)
            storeNotice_->close();
    });
    // Said once, and at the end (the held rows saved elsewhere) while the
    // window may already be gone: a box of its own, also on stderr.
    connect(recorder_, &Recorder::storeNotice, this, [this](const QString &text) {
        std::fprintf(stderr, "tq800: %s\n", qPrintable(text));
        if (endingBySignal_)
            return;
        if (isVisible())
            showNotice(storeNotice_, text);
        else
            QMessageBox::warning(nullptr, QApplication::applicationName(), text);
    });
    if (!recorder_->startNotice().isEmpty())
        showNotice(storeNotice_, recorder_->startNotice());
    const QList<RecordingInfo> open = recorder_->unfinished();
    if (!open.isEmpty()) {
        auto *offer = new frmRestoreOffer(*recorder_, *this, open, this);
        offer->setAttribute(Qt::WA_DeleteOnClose);
        offer->show();
    }
}

bool frmMain::exitAllowed()
{
    const qint64 held = recorder_ ? recorder_->heldRows() : 0;
    if (held == 0)
        return true;
    const QString text = QStringLiteral("The recordings store has not taken %1 yet (%2). Exit now and save them to a "
                                        "fallback store beside it?")
                             .arg(held == 1 ? QStringLiteral("1 row") : QStringLiteral("%1 rows").arg(held),
                                  recorder_->store().error());
    return QMessageBox::question(this, QApplication::applicationName(), text,
                                 QMessageBox::Save | QMessageBox::Cancel, QMessageBox::Cancel)
        == QMessageBox::Save;
}

void frmMain::endBySignal(int signalNumber)
{
    if (endingBySignal_)
        return;
    endingBySignal_ = true;
    std::fprintf(stderr, "tq800: %s: ending as Exit does\n", strsignal(signalNumber));
    // Exit's own path (the meter told, the recording ended "Exit", held rows
    // to the fallback), then every event loop ends, also one under a
    // message box that nobody will answer.
    core_->cmdExit_Click();
    QCoreApplication::quit();
}

void frmMain::brokerNotice(const QString &text)
{
    if (!text.isEmpty())
        showNotice(brokerNotice_, text);
    else if (brokerNotice_)
        brokerNotice_->close();
}

void frmMain::showNotice(QPointer<QMessageBox> &slot, const QString &text)
{
    // One notice of each kind at a time: a second occasion updates it.
    if (!slot) {
        slot = new QMessageBox(QMessageBox::Warning, QApplication::applicationName(), text, QMessageBox::Ok, this);
        slot->setAttribute(Qt::WA_DeleteOnClose);
        slot->setModal(false);
    }
    slot->setText(text);
    slot->show();
}
