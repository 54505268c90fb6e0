#include "shell/PortNames.h"

#include <QFileInfo>

#include <QDir>
#include <QRegularExpression>
#include <QSerialPortInfo>
#include <algorithm>

namespace portnames {

bool namesDevice(const QString &text)
{
    const QString t = text.trimmed();
    return t.startsWith(QLatin1Char('/')) || t.startsWith(QLatin1String("tty"))
        || QRegularExpression(QStringLiteral("^COM\\d+$"), QRegularExpression::CaseInsensitiveOption)
               .match(t).hasMatch();
}

QString deviceForText(const QString &text)
{
    const QString t = text.trimmed();
    if (t.startsWith(QLatin1String("tty")))
        return QStringLiteral("/dev/") + t;
    return t;
}

QStringList orderDevices(QStringList names)
{
    static const char *const kFamilies[] = {"ttyUSB", "ttyACM", "ttyS"};
    auto rank = [](const QString &path) {
        const QString base = path.section(QLatin1Char('/'), -1);
        for (int i = 0; i < 3; ++i)
            if (base.startsWith(QLatin1String(kFamilies[i])))
                return i;
        return 3;
    };
    auto number = [](const QString &path) {
        static const QRegularExpression digits(QStringLiteral("(\\d+)$"));
        const auto m = digits.match(path);
        return m.hasMatch() ? m.captured(1).toLongLong() : -1;
    };
    std::stable_sort(names.begin(), names.end(), [&](const QString &a, const QString &b) {
        if (rank(a) != rank(b))
            return rank(a) < rank(b);
        if (number(a) != number(b))
            return number(a) < number(b);
        return a < b;
    });
    return names;
}

QStringList presentDevices()
{
    QStringList names;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
        names << info.systemLocation();
    names.removeDuplicates();
    return orderDevices(names);
}

QString deviceForNumber(int n, const QStringList &present)
{
#ifdef Q_OS_WIN
    Q_UNUSED(present);
    return QStringLiteral("COM%1").arg(n);
#else
    if (n < 1 || n > present.size())
        return QString();
    return present[n - 1];
#endif
}

QString openFailureDetail(const QString &device, const QString &reason)
{
    QString text = QStringLiteral("%1: %2").arg(device, reason.isEmpty() ? QStringLiteral("unknown reason") : reason);
    if (reason.startsWith(QLatin1String("permission denied"))) {
        // Serial devices belong to a group (dialout on Debian and Ubuntu);
        // membership takes effect at the next log-in.
        const QString group = QFileInfo(device).group();
        text += QStringLiteral(".\nTo use it, join the group that owns it (sudo usermod -aG %1 $USER), then log out "
                               "and in again.")
                    .arg(group.isEmpty() ? QStringLiteral("dialout") : group);
    }
    return text;
}

} // namespace portnames
