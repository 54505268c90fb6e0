#pragma once
#include "tidy/Reading.h"
#include "tidy/ReadingSource.h"

#include <QDateTime>

class FlexGrid;

// The readings of table rows 1..`rows`, built from the cells alone, for a
// program that keeps no recordings store (--no-journal). The table does not
// know when a row was received, from which settings, in which mode or
// whether it came live or from the meter's memory: those are null, and the
// time is the meter's date and time of the row, its year read against
// `now`.
ReadingSource tableReadings(const FlexGrid &grid, int rows, const tidy::Context &context, const QDateTime &now);
