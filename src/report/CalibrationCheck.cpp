#include "report/CalibrationCheck.h"

#include <cmath>

namespace {

QString limit(double v)
{
    return QString::number(v, 'g', 10);
}

CheckLine line(const QString &valueAndLimits, bool pass)
{
    CheckLine l;
    l.text = valueAndLimits + QStringLiteral("  ");
    l.verdictAt = l.text.size();
    l.text += pass ? QStringLiteral("PASS") : QStringLiteral("FAIL");
    l.pass = pass;
    return l;
}

} // namespace

CheckLine slopeCheck(double slopePercent, const ReportLimits &limits)
{
    const bool pass = slopePercent >= limits.slopeMin && slopePercent <= limits.slopeMax;
    return line(QStringLiteral("Slope %1 %  (%2–%3 %)")
                    .arg(QString::number(slopePercent, 'f', 1), limit(limits.slopeMin), limit(limits.slopeMax)),
                pass);
}

CheckLine offsetCheck(double offsetMv, const ReportLimits &limits)
{
    const bool pass = std::abs(offsetMv) <= limits.offsetMaxAbsMv;
    return line(QStringLiteral("Offset %1 mV  (±%2 mV)").arg(QString::number(offsetMv, 'f', 1), limit(limits.offsetMaxAbsMv)),
                pass);
}
