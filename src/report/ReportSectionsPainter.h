#pragma once
#include "report/ColumnStats.h"
#include "report/ReportData.h"

class PageFlow;

// The report's content in its order: the recording, the settings and
// calibration with each change, the statistics, the chart, the readings,
// the audit trail, the fingerprint and the signature lines.
void paintReportSections(PageFlow &flow, const ReportData &data, const QList<ColumnStats> &stats);
