#pragma once
#include "chart/ChartPicture.h"

class TraceDecimator;

// Hands the value and temperature decimators exactly what the run's
// segments would, taking the rows that fall into one pixel column as whole
// blocks of the rows' summary where it can and row by row where it must (a
// row without a readable time, a number that is not finite). False, with
// nothing handed over, when the summary does not place the run's rows as
// the run does (another origin or temperature column, rows not yet held);
// the caller then hands over every segment.
bool feedRunFromSummary(const ChartPicture::Run &run, TraceDecimator &value, TraceDecimator &temp);
