#include "shell/frmRestoreOffer.h"

#include "record/Recorder.h"
#include "shell/RecordingActions.h"
#include "shell/UiPrompts.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QPointer>
#include <QProgressDialog>
#include <QPushButton>
#include <QTableView>

namespace {

// The recorder's own store, which outlives the offer: borrowed, not owned.
std::shared_ptr<RecordStore> borrowed(RecordStore &store)
{
    return std::shared_ptr<RecordStore>(&store, [](RecordStore *) {});
}

} // namespace

frmRestoreOffer::frmRestoreOffer(Recorder &recorder, UiPrompts &prompts, const QList<RecordingInfo> &recordings,
                                 QWidget *parent)
    : frmRecordings(borrowed(recorder.store()), recordings, prompts, parent), recorder_(recorder)
{
    setObjectName(QStringLiteral("RestoreOffer"));
    // An export from here is an event of the recording's chain, taken by
    // the recorder that holds the store.
    setAnchoring([&recorder](qint64 id, const QString &file, QJsonObject event,
                             const std::function<QString(const Anchor &)> &write) {
        return recorder.writeAnchored(id, file, std::move(event), write);
    });
    setWindowTitle(QApplication::applicationName());
    label_->setText(recordings.size() == 1 ? QStringLiteral("A recording was cut off (a crash or a power cut):")
                                           : QStringLiteral("%1 recordings were cut off (a crash or a power cut):")
                                                 .arg(recordings.size()));
    QPushButton *restore = buttons_->addButton(QStringLiteral("Restore"), QDialogButtonBox::AcceptRole);
    QPushButton *exportButton = buttons_->addButton(QStringLiteral("Export…"), QDialogButtonBox::ActionRole);
    QPushButton *close = buttons_->addButton(QStringLiteral("Close recording"), QDialogButtonBox::ActionRole);
    QPushButton *later = buttons_->addButton(QStringLiteral("Not now"), QDialogButtonBox::RejectRole);
    restore->setToolTip(QStringLiteral("Put its rows back into the table and chart, and log on into it"));
    close->setToolTip(QStringLiteral("Mark it ended; it stays in the store and can be exported later"));
    connect(restore, &QPushButton::clicked, this, [this] { act(0); });
    connect(exportButton, &QPushButton::clicked, this, [this] { act(1); });
    connect(close, &QPushButton::clicked, this, [this] { act(2); });
    connect(later, &QPushButton::clicked, this, &QDialog::reject);
    resize(760, 260);
}

void frmRestoreOffer::act(int what)
{
    const RecordingInfo *r = selected();
    if (!r)
        return;
    const qint64 id = r->id;
    if (what == 1) {
        // Exported, still unfinished: it stays in the list.
        succeeded(recordingactions::exportRecording(prompts_, recorder_.store(), *r, anchoring_));
        return;
    }
    bool cancelled = false;
    const QString error = what == 0 ? restoreWithProgress(id, cancelled) : recorder_.closeRecording(id);
    if (cancelled)
        return;   // nothing changed: it stays offered
    if (!succeeded(error))
        return;
    forget(id);
    // Only one recording can be in the table: after a restore, the others
    // wait for the next start.
    if (what == 0 || shown() == 0)
        accept();
    else
        view_->selectRow(0);
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
