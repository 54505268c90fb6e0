#include "record/Recorder.h"
#include "report/ReportBuild.h"
#include "report/SavedLimits.h"
#include "shell/MainCore.h"
#include "shell/frmMain.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QStandardPaths>

namespace {

constexpr auto kTitle = "Save report as…";

} // namespace

void frmMain::saveReport()
{
    // 1. Where: the documents folder, named after the recording.
    const qint64 id = recorder_ ? recorder_->current().id : 0;
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty() || !QDir(folder).exists())
        folder = QDir::homePath();
    const QString name = id > 0 ? QStringLiteral("recording-%1.pdf").arg(id)
                                : QDateTime::currentDateTime().toString(QStringLiteral("'report-'yyyyMMdd-HHmm'.pdf'"));
    QString path = QFileDialog::getSaveFileName(this, QString::fromUtf8(kTitle), QDir(folder).filePath(name),
                                                QStringLiteral("PDF(*.pdf)"));
    if (path.isEmpty())
        return;
    if (!path.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive))
        path += QLatin1String(".pdf");

    // 2. What: the stored recording with everything the store knows (the
    // rows shown so far are written first), else the table as it stands.
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const QString allRows = QStringLiteral("an Export of this table");
    ReportData data;
    if (id > 0) {
        recorder_->flush();
        QString readError;
        if (const auto rec = recorder_->store().recording(id))
            data = storedReportData(recorder_->store(), *rec, allRows, readError, reportChart(*core_));
        else if (recorder_->store().readFailed())
            readError = recorder_->store().error();
        if (!readError.isEmpty()) {
            QApplication::restoreOverrideCursor();
            QMessageBox::warning(this, QString::fromUtf8(kTitle),
                                 QStringLiteral("The report was not saved: the recordings store could not be read "
                                                "(%1).").arg(readError));
            return;
        }
    }
    if (data.recordingId.isEmpty())
        data = liveReportData(*core_, allRows);
    data.limits = savedlimits::load();
    // A stored recording's report is an event of its chain, and carries
    // that event's fingerprint.
    const auto write = [&](const Anchor &a) {
        anchorReport(data, a);
        return writeReport(path, data);
    };
    const QString error = id > 0 ? recorder_->writeAnchored(id, path, fileEvent(QStringLiteral("report"), path, {}), write)
                                 : write(Anchor{});
    QApplication::restoreOverrideCursor();
    if (!error.isEmpty())
        QMessageBox::warning(this, QString::fromUtf8(kTitle), QStringLiteral("The report was not saved: %1").arg(error));
}
