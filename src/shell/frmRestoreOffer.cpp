#include "shell/frmRestoreOffer.h"

#include "record/Recorder.h"
#include "record/StoredExport.h"
#include "shell/ExportName.h"
#include "shell/UiPrompts.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QListWidget>
#include <QPointer>
#include <QProgressDialog>
#include <QPushButton>
#include <QVBoxLayout>

frmRestoreOffer::frmRestoreOffer(Recorder &recorder, UiPrompts &prompts, const QList<RecordingInfo> &recordings,
                                 QWidget *parent)
    : QDialog(parent), recorder_(recorder), prompts_(prompts)
{
    setObjectName(QStringLiteral("RestoreOffer"));
    setWindowTitle(QApplication::applicationName());
    setModal(false);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(recordings.size() == 1
                                     ? QStringLiteral("A recording was cut off (a crash or a power cut):")
                                     : QStringLiteral("%1 recordings were cut off (a crash or a power cut):")
                                           .arg(recordings.size()),
                                 this));
    list_ = new QListWidget(this);
    for (const RecordingInfo &r : recordings) {
        auto *item = new QListWidgetItem(describe(r), list_);
        item->setData(Qt::UserRole, r.id);
    }
    list_->setCurrentRow(0);
    list_->setMinimumWidth(list_->sizeHintForColumn(0) + 40);
    layout->addWidget(list_);
    auto *buttons = new QDialogButtonBox(this);
    restore_ = buttons->addButton(QStringLiteral("Restore"), QDialogButtonBox::AcceptRole);
    export_ = buttons->addButton(QStringLiteral("Export…"), QDialogButtonBox::ActionRole);
    close_ = buttons->addButton(QStringLiteral("Close recording"), QDialogButtonBox::ActionRole);
    QPushButton *later = buttons->addButton(QStringLiteral("Not now"), QDialogButtonBox::RejectRole);
    restore_->setToolTip(QStringLiteral("Put its rows back into the table and chart, and log on into it"));
    close_->setToolTip(QStringLiteral("Mark it ended; it stays in the store and can be exported later"));
    layout->addWidget(buttons);
    connect(restore_, &QPushButton::clicked, this, [this] { act(0); });
    connect(export_, &QPushButton::clicked, this, [this] { act(1); });
    connect(close_, &QPushButton::clicked, this, [this] { act(2); });
    connect(later, &QPushButton::clicked, this, &QDialog::reject);
}

QString frmRestoreOffer::describe(const RecordingInfo &r)
{
    const QString meter = r.model.trimmed().isEmpty() ? QStringLiteral("meter") : r.model.trimmed();
    return QStringLiteral("%1  started %2, %3 on %4, %5 %6")
        .arg(r.id)
        .arg(r.started.left(19).replace(QLatin1Char('T'), QLatin1Char(' ')), meter,
             r.device.isEmpty() ? QStringLiteral("no port") : r.device)
        .arg(r.rows)
        .arg(r.rows == 1 ? QStringLiteral("row") : QStringLiteral("rows"));
}

QString frmRestoreOffer::restoreWithProgress(qint64 id, bool &cancelled)
{
    // Shown once the restore has taken a moment (a short one never shows
    // it); modal to this box and the window, with the event loop running
    // between batches (every few tens of milliseconds), so the window keeps
    // drawing and Cancel is heard.
    constexpr int kSteps = 100000;
    constexpr qint64 kShowAfterMs = 300;
    QPointer<QProgressDialog> dialog;
    QElapsedTimer clock;
    clock.start();
    auto progress = [&](qint64 done, qint64 total) {
        if (done >= total) {
            delete dialog;
            return true;
        }
        if (!dialog && clock.elapsed() < kShowAfterMs) {
            // Before the dialog: the window draws and its timers run, but
            // takes no clicks or keys (a Clear now would meet half a table).
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
            return true;
        }
        if (!dialog) {
            dialog = new QProgressDialog(QStringLiteral("Restoring recording %1…").arg(id), QStringLiteral("Cancel"), 0,
                                         kSteps, this);
            dialog->setWindowTitle(QApplication::applicationName());
            dialog->setWindowModality(Qt::WindowModal);
            dialog->setMinimumDuration(0);
            dialog->setAutoReset(false);
            dialog->setAutoClose(false);
        }
        dialog->setValue(int(double(done) / double(qMax<qint64>(total, 1)) * kSteps));
        return !dialog->wasCanceled();
    };
    const QString error = recorder_.restore(id, progress, &cancelled);
    delete dialog;
    return error;
}

qint64 frmRestoreOffer::selectedId() const
{
    const QListWidgetItem *item = list_->currentItem();
    return item ? item->data(Qt::UserRole).toLongLong() : 0;
}

void frmRestoreOffer::act(int what)
{
    const qint64 id = selectedId();
    if (id == 0)
        return;
    QString error;
    if (what == 0) {
        bool cancelled = false;
        error = restoreWithProgress(id, cancelled);
        if (cancelled)
            return;   // nothing changed: it stays offered
    } else if (what == 1) {
        const auto rec = recorder_.store().recording(id);
        if (!rec) {
            prompts_.MsgBox(recorder_.store().readFailed()
                                ? QStringLiteral("The recordings store could not be read: %1.").arg(recorder_.store().error())
                                : QStringLiteral("There is no recording %1.").arg(id),
                            UiPrompts::Icon::Critical);
            return;
        }
        QString filter;
        const QString file = prompts_.SaveFileName(
            QStringLiteral("Export Data"),
            QDir(QDir::homePath()).filePath(QStringLiteral("recording-%1.xls").arg(id)), kExportFilter, &filter);
        if (file.isEmpty())
            return;
        // Made an event of the recording's chain, as every export is.
        const bool tidy = filter == kTidyCsvEntry;
        error = recorder_.writeAnchored(id, file, fileEvent(QStringLiteral("export"), file, {{QStringLiteral("rows"), rec->rows}}),
                                        [&](const Anchor &a) {
                                            return exportStoredRecording(recorder_.store(), *rec, file, tidy, a);
                                        });
        if (error.isEmpty()) {
            prompts_.OpenDocument(file);
            return;   // exported, still unfinished: it stays in the list
        }
        error = QStringLiteral("The recording could not be exported to %1: %2.").arg(QDir::toNativeSeparators(file), error);
    } else {
        error = recorder_.closeRecording(id);
    }
    if (!error.isEmpty()) {
        prompts_.MsgBox(error, UiPrompts::Icon::Critical);
        return;
    }
    delete list_->currentItem();
    // Only one recording can be in the table: after a restore, the others
    // wait for the next start.
    if (what == 0 || list_->count() == 0)
        accept();
}
