#include "record/StoredExport.h"

#include "record/StoredReadings.h"
#include "record/StoredRows.h"
#include "shell/ExportName.h"
#include "table/ExportWriters.h"
#include "tidy/ReadingExport.h"

QString exportStoredRecording(RecordStore &store, const RecordingInfo &rec, const QString &file, bool tidyCsv)
{
    const ExportKind kind = exportKind(file, tidyCsv);
    if (kind == ExportKind::JsonLines || kind == ExportKind::TidyCsv)
        return exportReadings(file, kind == ExportKind::JsonLines ? ReadingFormat::JsonLines : ReadingFormat::TidyCsv,
                              storedReadings(store, rec));
    StoredRows stored(store, rec);
    ExportSource source = stored.exportSource();
    source.properties = exportProperties(rec);
    return exportTable(file, source);
}
