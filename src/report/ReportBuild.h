#pragma once
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

struct Anchor;
// The report carries `a`: the fingerprint of its own event in the chain.
void anchorReport(ReportData &data, const Anchor &a);
