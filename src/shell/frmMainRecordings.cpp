#include "record/Recorder.h"
#include "shell/frmLimits.h"
#include "shell/frmMain.h"
#include "shell/frmRecordings.h"

#include <QApplication>
#include <QMessageBox>

// The stored recordings, from the table's context menu or Ctrl+R: the
// Recordings dialog over the store this window records into.
void frmMain::showRecordings()
{
    if (!recorder_) {
        QMessageBox::information(this, QStringLiteral("Recordings"),
                                 QStringLiteral("No recordings are kept: the program was started with --no-journal."));
        return;
    }
    // What the table holds so far is on disk before the list is read.
    recorder_->flush();
    auto *dialog = new frmRecordings(recorder_->store().folder(), *this, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    // What it exports or reports becomes an event of the recording's chain,
    // through the recorder (which may be writing that very recording).
    dialog->setAnchoring([recorder = recorder_](qint64 id, const QString &file, QJsonObject event,
                                                const std::function<QString(const Anchor &)> &write) {
        return recorder->writeAnchored(id, file, std::move(event), write);
    });
    dialog->show();
}

void frmMain::showLimits()
{
    frmLimits dialog(this);
    dialog.exec();
}
