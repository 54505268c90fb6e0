#include "shell/RecordingActions.h"

#include "record/Annotations.h"
#include "record/StoredAnnotation.h"
#include "record/StoredExport.h"
#include "report/ReportBuild.h"
#include "report/SavedLimits.h"
#include "shell/ExportName.h"
#include "shell/UiPrompts.h"
#include "shell/frmNote.h"
#include "shell/frmSign.h"
#include "sign/Signing.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QStandardPaths>

namespace recordingactions {
namespace {

QString documents()
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return folder.isEmpty() || !QDir(folder).exists() ? QDir::homePath() : folder;
}

// The file's writing bound to its recording and event, by `anchoring` or
// else the store's own.
AnchoredWrite anchoredBy(const Anchoring &anchoring, RecordStore &store, qint64 id, const QString &file,
                         const QJsonObject &event)
{
    return [&anchoring, &store, id, file, event](const std::function<QString(const Anchor &)> &write) {
        return anchoring ? anchoring(id, file, event, write) : writeAnchored(store, id, file, event, write, nullptr);
    };
}

// What a recording's events alone say of its samples and signatures (its
// rows are not read: the store indexes its events apart).
annotation::Gatherer eventsOf(RecordStore &store, const RecordingInfo &rec)
{
    annotation::Gatherer g;
    store.forEachEntry(rec.id, QStringLiteral("event"), [&g](const hashchain::Entry &e) {
        g.take(e);
        return true;
    });
    return g;
}

} // namespace

QString exportRecording(UiPrompts &prompts, RecordStore &store, const RecordingInfo &rec, const Anchoring &anchoring)
{
    QString filter;
    const QString file = prompts.SaveFileName(QStringLiteral("Export Data"),
                                              QDir(QDir::homePath()).filePath(QStringLiteral("recording-%1.xls").arg(rec.id)),
                                              kExportFilter, &filter);
    if (file.isEmpty())
        return {};
    const bool tidy = filter == kTidyCsvEntry;
    const QString error = anchoredBy(anchoring, store, rec.id, file,
                                     fileEvent(QStringLiteral("export"), file, {{QStringLiteral("rows"), rec.rows}}))(
        [&](const Anchor &a) { return exportStoredRecording(store, rec, file, tidy, a); });
    if (!error.isEmpty())
        return QStringLiteral("The recording could not be exported to %1: %2.").arg(QDir::toNativeSeparators(file), error);
    prompts.OpenDocument(file);
    return {};
}

QString reportRecording(QWidget *parent, RecordStore &store, const RecordingInfo &rec, const Anchoring &anchoring)
{
    QString path = QFileDialog::getSaveFileName(parent, QStringLiteral("Save report as…"),
                                                QDir(documents()).filePath(QStringLiteral("recording-%1.pdf").arg(rec.id)),
                                                QStringLiteral("PDF(*.pdf)"));
    if (path.isEmpty())
        return {};
    if (!path.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive))
        path += QLatin1String(".pdf");
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const QString error =
        reportStoredRecording(store, rec, path, QStringLiteral("an export of recording %1").arg(rec.id), savedlimits::load(),
                              anchoredBy(anchoring, store, rec.id, path, fileEvent(QStringLiteral("report"), path, {})));
    QApplication::restoreOverrideCursor();
    return error.isEmpty() ? QString() : QStringLiteral("The report was not saved: %1").arg(error);
}

// Not yet: see the header.
QString signRecording(QWidget *parent, const RecordStore &store, qint64 id)
{
    if (id <= 0)
        return {};
    const Account who = currentAccount();
    frmSign dialog(QStringLiteral("%1 (%2)").arg(who.fullName, who.login), QStringLiteral("recording %1").arg(id),
                   [&](const QString &meaning, const QString &reason, QByteArray &password) {
                       return signAs(who, meaning, reason, password, [&](const QJsonObject &fields) {
                           return addToStored(store.folder(), id, QStringLiteral("signature"), fields, true);
                       });
                   },
                   parent);
    dialog.exec();
    return {};
}

QString noteRecording(QWidget *parent, const RecordStore &store, qint64 id)
{
    if (id <= 0)
        return {};
    RecordStore reading;
    std::optional<RecordingInfo> rec;
    if (reading.open(store.folder(), RecordStore::Access::Read))
        rec = reading.recording(id);
    frmNote dialog(rec ? int(rec->rows) : 0, 0, parent);
    if (dialog.exec() != QDialog::Accepted || dialog.text().isEmpty())
        return {};
    return addToStored(store.folder(), id, QStringLiteral("note"),
                       annotation::noteFields(dialog.text(), dialog.fromRow(), dialog.toRow()), false);
}

Annotated annotationsOf(RecordStore &store, const RecordingInfo &rec)
{
    const annotation::Gatherer g = eventsOf(store, rec);
    // The samples named, in order, each once.
    QStringList names;
    for (const annotation::SampleMark &m : g.samples)
        if (!m.sample.sample.isEmpty() && !names.contains(m.sample.sample))
            names << m.sample.sample;
    QStringList who;
    for (const annotation::Signature &sig : g.signatures) {
        const annotation::Meaning *m = annotation::meaning(sig.meaning);
        who << QStringLiteral("%1 by %2")
                   .arg(m ? QString::fromLatin1(m->key) : sig.meaning, sig.name.isEmpty() ? sig.login : sig.name);
    }
    return {names.join(QStringLiteral(", ")), who.join(QStringLiteral("; "))};
}

} // namespace recordingactions
