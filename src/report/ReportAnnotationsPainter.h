#pragma once
#include "report/ReportData.h"

class PageFlow;

// What people added to the recording, in the report: the samples measured
// and the operators' notes (a section before the audit trail), and the
// signature lines, each filled with its signature where there is one.
void samplesAndNotesSection(PageFlow &f, const ReportData &d);
void signaturesSection(PageFlow &f, const ReportData &d);
