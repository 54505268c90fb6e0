#pragma once
#include "record/AnchoredFile.h"
#include "report/ReportData.h"

class MainCore;
class RecordStore;
struct RecordingInfo;

// What a report shows, gathered from where the recording is.

// A stored recording: its header, every settings snapshot with its time,
// its events, its rows, its fingerprint, and `chart`, or when that is null
// the chart drawn again from the rows as the window would draw them.
// `allRowsExport` says which export holds every row when the report prints
// only some.
// When the store cannot give the recording back whole (a damaged file),
// `error` says what and where, and the data is not to be written.
ReportData storedReportData(RecordStore &store, const RecordingInfo &rec, const QString &allRowsExport,
                            QString &error, const QImage &chart = QImage());

// The live table when no store keeps it: the table, the chart, the meter and
// its settings panel as shown now; no events and no fingerprint.
ReportData liveReportData(const MainCore &core, const QString &allRowsExport);

// The chart as the window draws it, at the window's size.
QImage reportChart(const MainCore &core);

// The report carries `a`: the fingerprint of its own event in the chain.
void anchorReport(ReportData &data, const Anchor &a);

// The report of stored recording `rec` written to `file` against `limits`:
// empty on success, else why not (the store could not give it back whole,
// the file could not be written). `anchored` writes it as an event of the
// recording's chain (writeAnchored(), bound to the recording, the file and
// its event); `fingerprint`, where given, gets the fingerprint the report
// carries. tq800-log --report and the window's Recordings dialog write it
// this way.
QString reportStoredRecording(RecordStore &store, const RecordingInfo &rec, const QString &file,
                              const QString &allRowsExport, const ReportLimits &limits,
                              const AnchoredWrite &anchored, QString *fingerprint = nullptr);
