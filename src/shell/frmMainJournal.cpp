#include "record/Recorder.h"
#include "shell/MainCore.h"
#include "shell/frmMain.h"
#include "shell/frmRestoreOffer.h"

#include <QApplication>
#include <QMessageBox>

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
    const QList<RecordingInfo> open = recorder_->unfinished();
    if (!open.isEmpty()) {
        auto *offer = new frmRestoreOffer(*recorder_, *this, open, this);
        offer->setAttribute(Qt::WA_DeleteOnClose);
        offer->show();
    }
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
