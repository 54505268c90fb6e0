#include "shell/RecordingActions.h"

#include "record/StoredExport.h"
#include "report/ReportBuild.h"
#include "report/SavedLimits.h"
#include "shell/ExportName.h"
#include "shell/UiPrompts.h"

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
bool signAvailable()
{
    return false;
}

bool noteAvailable()
{
    return false;
}

QString signRecording(QWidget *, qint64 id)
{
    return QStringLiteral("Recording %1 cannot be signed here yet.").arg(id);
}

QString noteRecording(QWidget *, qint64 id)
{
    return QStringLiteral("A note cannot be added to recording %1 here yet.").arg(id);
}

QString sampleOf(RecordStore &, const RecordingInfo &)
{
    return {};
}

QString signaturesOf(RecordStore &, const RecordingInfo &)
{
    return {};
}

} // namespace recordingactions
