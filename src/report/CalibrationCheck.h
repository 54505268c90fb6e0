#pragma once
#include <QString>

#include <optional>

// The limits a pH electrode's calibration is held against.
struct ReportLimits
{
    double slopeMin = 95, slopeMax = 105, offsetMaxAbsMv = 30;
};

// One checked value as printed: the value, the limits in brackets, then the
// verdict, as in "Slope 88.0 %  (95–105 %)  FAIL". A value is never replaced
// by its verdict. `verdictAt` is where "PASS" or "FAIL" begins in `text`.
struct CheckLine
{
    QString text;
    qsizetype verdictAt = 0;
    bool pass = false;
};

// Within limits means within them or on them; a value that is not a number
// fails.
CheckLine slopeCheck(double slopePercent, const ReportLimits &limits);
CheckLine offsetCheck(double offsetMv, const ReportLimits &limits);
