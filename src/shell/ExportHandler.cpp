#include "shell/ExportName.h"
#include "shell/MainCore.h"
#include "shell/SerialLink.h"
#include "shell/UiPrompts.h"
#include "table/ExportWriters.h"
#include "tidy/ReadingExport.h"
#include "tidy/TableReadings.h"

#include <QDir>
#include <QSysInfo>

namespace {

const QString kExportTitle = QStringLiteral("Export Data");

} // namespace

// Export: ask for a file, write the whole table to it, open it, and start a
// new recording. A cancel changes nothing; an empty table only starts anew.
void MainCore::cmdExport_Click()
{
    if (m.GridRow <= 1) {
        exportTo(QString());
        return;
    }
    QString filter;
    const QString file = prompts_->SaveFileName(
        kExportTitle, proposedExportName(now(), hasDriveD(), documentsFolder()), kExportFilter, &filter);
    // As the spreadsheet was left open with the saved workbook.
    if (!file.isEmpty() && exportTo(file, filter == kTidyCsvEntry))
        prompts_->OpenDocument(file);
}

QString MainCore::writeExport(const QString &file, bool tidyCsv, const std::function<bool(int, int)> &progress,
                              bool &cancelled)
{
    const int dataRows = m.GridRow - 1;
    const ExportKind kind = exportKind(file, tidyCsv);
    const PropertiesWriter write = [&](const QList<std::pair<QString, QString>> &properties) {
        QString error;
        if (kind == ExportKind::JsonLines || kind == ExportKind::TidyCsv) {
            // Readings as stored where the store has them all; else from the
            // table, without what only the store knows.
            std::optional<ReadingSource> source = storedReadings ? storedReadings() : std::nullopt;
            if (!source) {
                QStringList header;
                for (int c = 0; c < FlexGrid::kCols; ++c)
                    header << MSFlexGrid1->TextMatrix(0, c);
                const QString device = MSComm1->device();
                source = tableReadings(*MSFlexGrid1, dataRows,
                                       {device.isEmpty() ? QSysInfo::machineHostName() : tidy::meterId(device, QString()),
                                        m.ModelCode.toString(), 0, header},
                                       now());
            }
            source->progress = progress;
            error = exportReadings(file, kind == ExportKind::JsonLines ? ReadingFormat::JsonLines : ReadingFormat::TidyCsv,
                                   *source);
            cancelled = error == QLatin1String("cancelled");
            if (source->progress)
                source->progress(source->rows, source->rows);
            return error;
        }
        // Rows 0 to GridRow, cell for cell: the header, every reading and the
        // empty row below the last. Read as the writers go; nothing copies the
        // table.
        ExportSource table = MSFlexGrid1->exportSource(m.GridRow);
        table.properties = properties;
        table.progress = progress;
        error = exportTable(file, table);
        if (table.progress)
            table.progress(table.rows, table.rows);
        cancelled = table.cancelled;
        return error;
    };
    return anchoredExport ? anchoredExport(file, dataRows, write) : write({});
}

bool MainCore::exportTo(const QString &file, bool tidyCsv)
{
    if (m.GridRow > 1) {
        // 1. What is written, with progress for a long table.
        const int dataRows = m.GridRow - 1;
        const QString progressText = QStringLiteral("Exporting %1 rows to %2")
                                         .arg(dataRows)
                                         .arg(QDir::toNativeSeparators(file));
        std::function<bool(int, int)> progress;
        if (dataRows > kExportProgressRows)
            progress = [&](int done, int total) { return prompts_->Progress(progressText, done, total); };

        // 2. Write, holding back the receive tick (a progress dialog lets
        //    timers run): what arrives meanwhile is handled afterwards.
        receiveHeld_ = true;
        bool cancelled = false;
        const QString error = writeExport(file, tidyCsv, progress, cancelled);
        receiveHeld_ = false;
        // Cancelled: no file, and the table goes on as it was.
        if (cancelled)
            return false;
        if (!error.isEmpty()) {
            // The table stays: the user must not believe the log was saved.
            prompts_->MsgBox(QStringLiteral("The table could not be exported to %1: %2. Nothing was cleared.")
                                 .arg(QDir::toNativeSeparators(file), error),
                             UiPrompts::Icon::Critical);
            return false;
        }
        emit exported(file, dataRows);
    }
    // 3. A new recording.
    Init_FlexGrid();
    Picture4.Cls();
    startPolling();
    emit changed();
    return true;
}
