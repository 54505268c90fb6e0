#include "record/StoredExport.h"

#include "record/StoredReadings.h"
#include "record/StoredRows.h"
#include "shell/ExportName.h"
#include "table/ExportWriters.h"
#include "tidy/ReadingExport.h"

QString exportStoredRecording(RecordStore &store, const RecordingInfo &rec, const QString &file, bool tidyCsv,
                              const Anchor &anchor)
{
    const ExportKind kind = exportKind(file, tidyCsv);
    if (kind == ExportKind::JsonLines || kind == ExportKind::TidyCsv)
        return exportReadings(file, kind == ExportKind::JsonLines ? ReadingFormat::JsonLines : ReadingFormat::TidyCsv,
                              storedReadings(store, rec));
    StoredRows stored(store, rec);
    if (!stored.error().isEmpty())
        return stored.error();
    ExportSource source = stored.exportSource();
    source.properties = anchorProperties(anchor);
    // A row the store cannot give back stops the writer as a cancel does
    // (the file is not made): an empty row is not a reading.
    const auto failure = [&stored] { return stored.error().isEmpty() ? stored.missing() : stored.error(); };
    const auto stopOnError = [&source, failure] {
        if (!failure().isEmpty())
            source.cancelled = true;
    };
    source.read = [stopOnError, read = source.read](int r, ExportSource::Row &cells) {
        read(r, cells);
        stopOnError();
    };
    if (source.readUtf8)
        source.readUtf8 = [stopOnError, read = source.readUtf8](int r, ExportSource::Utf8Row &cells) {
            read(r, cells);
            stopOnError();
        };
    const QString error = exportTable(file, source);
    return failure().isEmpty() ? error : failure();
}
