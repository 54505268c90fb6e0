#include "shell/frmRestoreOffer.h"

#include "record/Recorder.h"
#include "shell/RecordingActions.h"
#include "shell/UiPrompts.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QLabel>
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
    if (!succeeded(what == 0 ? recorder_.restore(id) : recorder_.closeRecording(id)))
        return;
    forget(id);
    // Only one recording can be in the table: after a restore, the others
    // wait for the next start.
    if (what == 0 || shown() == 0)
        accept();
    else
        view_->selectRow(0);
}
