#include "report/CalibrationCheck.h"

#include <QLocale>

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

// The value as compared: one place at least ("88.0"), and every place the
// number has beyond it ("-1.35", never a rounded "-1.4" beside a verdict
// on -1.35).
QString value(double v)
{
    const QString oneDecimal = QString::number(v, 'f', 1);
    if (!std::isfinite(v) || oneDecimal.toDouble() == v)
        return oneDecimal;
    return QString::number(v, 'f', QLocale::FloatingPointShortest);
}

} // namespace

CheckLine slopeCheck(double slopePercent, const ReportLimits &limits)
{
    const bool pass = slopePercent >= limits.slopeMin && slopePercent <= limits.slopeMax;
    return line(QStringLiteral("Slope %1 %  (%2–%3 %)")
                    .arg(value(slopePercent), limit(limits.slopeMin), limit(limits.slopeMax)),
                pass);
}

CheckLine offsetCheck(double offsetMv, const ReportLimits &limits)
{
    const bool pass = std::abs(offsetMv) <= limits.offsetMaxAbsMv;
    return line(QStringLiteral("Offset %1 mV  (±%2 mV)").arg(value(offsetMv), limit(limits.offsetMaxAbsMv)),
                pass);
}
