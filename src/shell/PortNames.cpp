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
    return t.contains(QLatin1Char('/')) || t.startsWith(QLatin1String("tty"))
        || QRegularExpression(QStringLiteral("^COM\\d+$"), QRegularExpression::CaseInsensitiveOption)
               .match(t).hasMatch();
}

QString deviceForText(const QString &text)
{
    const QString t = text.trimmed();
    if (t.startsWith(QLatin1String("tty")))
        return QStringLiteral("/dev/") + t;
    // "./meter" is where the user stands now; the port is looked for again
    // by this name after a loss, from wherever the program then stands.
    // (Symlinks stay as they are: a link to the adapter's current node is
    // what finds it again.)
    if (t.contains(QLatin1Char('/')) && QDir::isRelativePath(t))
        return QDir::cleanPath(QDir::current().absoluteFilePath(t));
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

// Groups that distributions give serial devices to, and nothing else:
// joining one grants the serial ports and no more. (Not "tty": it can write
// to every terminal on the machine; nor "root", which owns everything.)
constexpr const char *kSerialGroups[] = {
    "dialout",   // Debian, Ubuntu, Fedora, openSUSE
    "uucp",      // Arch, older distributions
};

QString permissionHint(const QString &group, bool groupCanReadWrite)
{
    const bool serialGroup = std::any_of(std::begin(kSerialGroups), std::end(kSerialGroups),
                                         [&](const char *g) { return group == QLatin1String(g); });
    if (serialGroup && groupCanReadWrite)
        return QStringLiteral("To use it, join the group that owns it (sudo usermod -aG %1 $USER), then log out "
                              "and in again.")
            .arg(group);
    return QStringLiteral("It belongs to group %1, which is not a group for serial devices: ask an administrator "
                          "for access to it, for example through a udev rule.")
        .arg(group.isEmpty() ? QStringLiteral("(unknown)") : group);
}

QString openFailureDetail(const QString &device, const QString &reason)
{
    QString text = QStringLiteral("%1: %2").arg(device, reason.isEmpty() ? QStringLiteral("unknown reason") : reason);
    if (reason.startsWith(QLatin1String("permission denied"))) {
        // Membership of a group takes effect at the next log-in.
        const QFileInfo info(device);
        const bool groupRw = info.permission(QFile::ReadGroup) && info.permission(QFile::WriteGroup);
        text += QStringLiteral(".\n") + permissionHint(info.group(), groupRw);
    }
    return text;
}

} // namespace portnames
