#pragma once
#include "report/CalibrationCheck.h"

#include <QString>

// The electrode limits a user keeps for reports (the window's "Report
// limits…" dialog), in the user's settings, so the window and tq800-log
// check against the same numbers. tq800-log's own options win over them.
namespace savedlimits {

// What the user saved; the defaults where nothing (or nothing usable) is.
ReportLimits load();
// Empty when saved, else why not (the limits refused, the settings file
// not writable).
QString save(const ReportLimits &limits);
// Empty when `limits` can be checked against: finite numbers, 0 or more,
// the lower slope limit not above the upper.
QString problem(const ReportLimits &limits);

} // namespace savedlimits
