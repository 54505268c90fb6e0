#include "report/SavedLimits.h"

#include <QSettings>

#include <cmath>

namespace savedlimits {
namespace {

// One file of the user's settings for both programs, whatever each one's
// application name: ~/.config/TQ800/report.conf.
QSettings settings()
{
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("TQ800"), QStringLiteral("report"));
}

struct Key
{
    const char *name;
    double ReportLimits::*field;
};
constexpr Key kKeys[] = {{"limits/slope_min_percent", &ReportLimits::slopeMin},
                         {"limits/slope_max_percent", &ReportLimits::slopeMax},
                         {"limits/offset_max_mv", &ReportLimits::offsetMaxAbsMv}};

} // namespace

QString problem(const ReportLimits &l)
{
    for (double v : {l.slopeMin, l.slopeMax, l.offsetMaxAbsMv})
        if (!std::isfinite(v) || v < 0)
            return QStringLiteral("every limit is a number, 0 or more");
    if (l.slopeMin > l.slopeMax)
        return QStringLiteral("the lowest slope (%1 %) is above the highest (%2 %)").arg(l.slopeMin).arg(l.slopeMax);
    return {};
}

ReportLimits load()
{
    const QSettings s = settings();
    ReportLimits l;
    for (const Key &k : kKeys) {
        // Written as text in the C locale's form, so read the same way.
        bool ok = false;
        const double v = s.value(QLatin1String(k.name)).toString().toDouble(&ok);
        if (ok)
            l.*k.field = v;
    }
    // A file edited by hand into nonsense counts as none.
    return problem(l).isEmpty() ? l : ReportLimits{};
}

QString save(const ReportLimits &limits)
{
    if (const QString why = problem(limits); !why.isEmpty())
        return why;
    QSettings s = settings();
    for (const Key &k : kKeys)
        s.setValue(QLatin1String(k.name), QString::number(limits.*k.field, 'g', 15));
    s.sync();
    if (s.status() != QSettings::NoError)
        return QStringLiteral("the settings could not be written to %1").arg(s.fileName());
    return {};
}

} // namespace savedlimits
