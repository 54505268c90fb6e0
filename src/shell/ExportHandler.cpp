#include "shell/ExportName.h"
#include "shell/MainCore.h"
#include "shell/UiPrompts.h"
#include "table/ExportWriters.h"

#include <QDir>

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
    const QString file = prompts_->SaveFileName(
        kExportTitle, proposedExportName(now(), hasDriveD(), documentsFolder()), kExportFilter);
    // As the spreadsheet was left open with the saved workbook.
    if (!file.isEmpty() && exportTo(file))
        prompts_->OpenDocument(file);
}

bool MainCore::exportTo(const QString &file)
{
    if (m.GridRow > 1) {
        // 1. Rows 0 to GridRow, cell for cell: the header, every reading and
        //    the empty row below the last. Read as the writers go; nothing
        //    copies the table.
        const int dataRows = m.GridRow - 1;
        ExportSource source = MSFlexGrid1->exportSource(m.GridRow);
        if (exportProperties)
            source.properties = exportProperties();
        const QString progressText = QStringLiteral("Exporting %1 rows to %2")
                                         .arg(dataRows)
                                         .arg(QDir::toNativeSeparators(file));
        if (dataRows > kExportProgressRows)
            source.progress = [&](int done, int total) { return prompts_->Progress(progressText, done, total); };

        // 2. Write, holding back the receive tick (a progress dialog lets
        //    timers run): what arrives meanwhile is handled afterwards.
        receiveHeld_ = true;
        const QString error = exportTable(file, source);
        receiveHeld_ = false;
        if (source.progress)
            source.progress(source.rows, source.rows);
        // Cancelled: no file, and the table goes on as it was.
        if (source.cancelled)
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
