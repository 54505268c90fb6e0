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
    dialog->show();
}

void frmMain::showLimits()
{
    frmLimits dialog(this);
    dialog.exec();
}
