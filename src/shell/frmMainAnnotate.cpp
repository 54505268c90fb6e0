// The window's "Sample…", "Add note…" and "Sign…" (the table's and the
// chart's context menus): each asks in a small dialog of its own and hands
// the answer to the recorder; the written layout of the window is left as
// it is.
#include "record/Annotations.h"
#include "record/Recorder.h"
#include "shell/MainCore.h"
#include "shell/frmMain.h"
#include "shell/frmNote.h"
#include "shell/frmSample.h"
#include "shell/frmSign.h"
#include "sign/Signing.h"

#include <QMessageBox>

namespace {

const QString kNoStore = QStringLiteral("Samples, notes and signatures go into the recordings store, which this window "
                                        "does not keep (--no-journal).");

} // namespace

void frmMain::chooseSample()
{
    if (!recorder_) {
        QMessageBox::information(this, QStringLiteral("Sample"), kNoStore);
        return;
    }
    frmSample dialog(recorder_->sample(), this);
    if (dialog.exec() == QDialog::Accepted)
        recorder_->setSample(dialog.sample());
}

void frmMain::addNote(int row)
{
    if (!recorder_) {
        QMessageBox::information(this, QStringLiteral("Add note"), kNoStore);
        return;
    }
    frmNote dialog(core_->m.GridRow - 1, row, this);
    if (dialog.exec() != QDialog::Accepted || dialog.text().isEmpty())
        return;
    const QString why = recorder_->addEvent(QStringLiteral("note"),
                                            annotation::noteFields(dialog.text(), dialog.fromRow(), dialog.toRow()), false);
    if (!why.isEmpty())
        QMessageBox::warning(this, QStringLiteral("Add note"), QStringLiteral("The note was not added: %1.").arg(why));
}

void frmMain::signRecording()
{
    if (!recorder_) {
        QMessageBox::information(this, QStringLiteral("Sign"), kNoStore);
        return;
    }
    const Account who = currentAccount();
    const qint64 id = recorder_->current().id > 0 ? recorder_->current().id : recorder_->lastRecordingId();
    if (id == 0) {
        QMessageBox::information(this, QStringLiteral("Sign"), QStringLiteral("Nothing has been recorded yet to sign."));
        return;
    }
    const QString what = recorder_->current().id > 0 ? QStringLiteral("recording %1, in the table").arg(id)
                                                     : QStringLiteral("recording %1, ended").arg(id);
    frmSign dialog(QStringLiteral("%1 (%2)").arg(who.fullName, who.login), what,
                   [this, who](const QString &meaning, const QString &reason, QByteArray &password) {
                       return signAs(who, meaning, reason, password, [this](const QJsonObject &fields) {
                           return recorder_->addEvent(QStringLiteral("signature"), fields, true);
                       });
                   },
                   this);
    dialog.exec();
}
