#include "publish/MqttOptions.h"

#include <QCommandLineParser>
#include <QFile>
#include <QFileInfo>

#include <array>
#include <sys/stat.h>

namespace {

QCommandLineOption opt(const char *name, const char *help, const char *value = nullptr)
{
    return value ? QCommandLineOption(QString::fromLatin1(name), QString::fromLatin1(help), QString::fromLatin1(value))
                 : QCommandLineOption(QString::fromLatin1(name), QString::fromLatin1(help));
}

QString readableFile(const QString &option, const QString &file)
{
    const QFileInfo f(file);
    if (!f.exists())
        return QStringLiteral("--%1 %2: no such file").arg(option, file);
    if (!f.isFile() || !f.isReadable())
        return QStringLiteral("--%1 %2: not a readable file").arg(option, file);
    return {};
}

// The characters a client id keeps as they are: a broker's ACL pattern
// (%c) refuses an id with '/', '+' or '#', and a blank or a non-ASCII
// letter is easily mistyped in a broker's configuration.
bool safeInClientId(QChar c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'-' || c == u'_'
        || c == u'.';
}

// What a password file's mode says about who else may read it, "" when
// only its owner may (ssh holds a private key to the same rule).
QString exposedPasswordFile(const QString &file)
{
    struct stat st{};
    if (::stat(QFile::encodeName(file).constData(), &st) != 0 || (st.st_mode & (S_IRWXG | S_IRWXO)) == 0)
        return {};
    return QStringLiteral("--mqtt-password-file %1 is open to other users of this computer (mode %2): run "
                          "\"chmod 600 %1\" and start again")
        .arg(file)
        .arg(QString::number(st.st_mode & 07777, 8).rightJustified(4, u'0'));
}

struct Timing { const char *name; int MqttSettings::*field; };
constexpr std::array kTimings{Timing{"reconnect", &MqttSettings::reconnectMs}, Timing{"flap", &MqttSettings::flapMs},
                              Timing{"steady", &MqttSettings::steadyMs},
                              Timing{"refused", &MqttSettings::refusedRetryMs}};

// TQ800_MQTT_TIMING: "name=ms" pairs parted by commas.
QString readTimings(MqttSettings &out)
{
    const QString text = qEnvironmentVariable(mqttopts::kTimingVariable);
    for (const QString &pair : text.split(u',', Qt::SkipEmptyParts)) {
        const QString name = pair.section(u'=', 0, 0).trimmed();
        bool ok = false;
        const int ms = pair.section(u'=', 1).trimmed().toInt(&ok);
        const auto t = std::find_if(kTimings.begin(), kTimings.end(),
                                    [&name](const Timing &t) { return name == QLatin1String(t.name); });
        if (t == kTimings.end() || !ok || ms < 1)
            return QStringLiteral("%1=%2: write name=milliseconds pairs parted by commas, the names reconnect, flap, "
                                  "steady and refused")
                .arg(QLatin1String(mqttopts::kTimingVariable), text);
        out.*(t->field) = ms;
    }
    return {};
}

} // namespace

namespace mqttopts {

QString defaultClientId(const QString &meterId)
{
    QString id = QStringLiteral("tq800-") + meterId;
    for (QChar &c : id)
        if (!safeInClientId(c))
            c = u'_';
    return id;
}

QList<QCommandLineOption> options()
{
    QCommandLineOption password = opt("mqtt-password", "Refused: use --mqtt-password-file.", "PASSWORD");
    password.setFlags(QCommandLineOption::HiddenFromHelp);
    return {
        opt("mqtt", "Publish every reading and event to the MQTT broker at URL (mqtt://HOST[:PORT] or "
                    "mqtts://HOST[:PORT]).", "URL"),
        opt("mqtt-topic", "Topic prefix (default tq800/<meter id>).", "PREFIX"),
        opt("mqtt-cafile", "CA certificate that signed the broker's certificate (mqtts).", "FILE"),
        opt("mqtt-cert", "Client certificate, with --mqtt-key (mqtts).", "FILE"),
        opt("mqtt-key", "Client certificate's private key (mqtts).", "FILE"),
        opt("mqtt-user", "User name at the broker.", "NAME"),
        opt("mqtt-password-file", "Read the broker password from the first line of FILE (or set "
                                  "TQ800_MQTT_PASSWORD).", "FILE"),
        opt("mqtt-keepalive", "Seconds between keep-alive messages; the broker says \"offline\" after 1.5 times "
                              "this without one (default 30).", "S"),
        opt("mqtt-client-id", "The client id at the broker, the same at every start (default tq800-<meter id>).",
            "ID"),
        password,
    };
}

QString read(const QCommandLineParser &p, MqttSettings &out)
{
    out = MqttSettings{};
    // Out of the environment before anything else: whatever this returns,
    // no program started from here on inherits the password.
    const bool envPasswordSet = qEnvironmentVariableIsSet(kPasswordVariable);
    const QString envPassword = qEnvironmentVariable(kPasswordVariable);
    qunsetenv(kPasswordVariable);
    // Refused even without --mqtt: a password typed there is already
    // readable in the process list, and the user should know it.
    if (p.isSet(QStringLiteral("mqtt-password")))
        return QStringLiteral("--mqtt-password is refused: every user of this computer can read a command line in "
                              "the process list. Put the password in a file only you can read and give "
                              "--mqtt-password-file FILE, or set %1")
            .arg(QLatin1String(kPasswordVariable));
    const QString url = p.value(QStringLiteral("mqtt"));
    if (!p.isSet(QStringLiteral("mqtt"))) {
        for (const char *needsUrl : {"mqtt-topic", "mqtt-cafile", "mqtt-cert", "mqtt-key", "mqtt-user",
                                     "mqtt-password-file", "mqtt-keepalive", "mqtt-client-id"})
            if (p.isSet(QString::fromLatin1(needsUrl)))
                return QStringLiteral("--%1 needs --mqtt URL").arg(QLatin1String(needsUrl));
        return {};
    }
    QString error;
    out.broker = parseBrokerUrl(url, error);
    if (!error.isEmpty()) {
        out = MqttSettings{};
        return error;
    }
    auto fail = [&out](const QString &why) {
        out = MqttSettings{};
        return why;
    };
    out.topic = p.value(QStringLiteral("mqtt-topic"));
    // A topic that subscribes rather than names, or ends in a slash, would
    // put every message somewhere nobody looks.
    if (p.isSet(QStringLiteral("mqtt-topic"))
        && (out.topic.isEmpty() || out.topic.contains(QLatin1Char('+')) || out.topic.contains(QLatin1Char('#'))
            || out.topic.endsWith(QLatin1Char('/'))))
        return fail(QStringLiteral("--mqtt-topic %1: a topic prefix must not be empty, contain + or #, or end in /")
                        .arg(out.topic));
    out.caFile = p.value(QStringLiteral("mqtt-cafile"));
    out.certFile = p.value(QStringLiteral("mqtt-cert"));
    out.keyFile = p.value(QStringLiteral("mqtt-key"));
    if (!out.broker.tls && (!out.caFile.isEmpty() || !out.certFile.isEmpty() || !out.keyFile.isEmpty()))
        return fail(QStringLiteral("--mqtt-cafile, --mqtt-cert and --mqtt-key are for an mqtts:// broker"));
    if (out.broker.tls && out.caFile.isEmpty())
        return fail(QStringLiteral("an mqtts:// broker needs --mqtt-cafile FILE, the CA that signed its certificate"));
    if (out.certFile.isEmpty() != out.keyFile.isEmpty())
        return fail(QStringLiteral("--mqtt-cert and --mqtt-key go together"));
    for (const auto &[name, file] : {std::pair{"mqtt-cafile", out.caFile}, std::pair{"mqtt-cert", out.certFile},
                                     std::pair{"mqtt-key", out.keyFile}})
        if (!file.isEmpty())
            if (const QString why = readableFile(QLatin1String(name), file); !why.isEmpty())
                return fail(why);
    out.user = p.value(QStringLiteral("mqtt-user"));
    if (p.isSet(QStringLiteral("mqtt-password-file"))) {
        const QString file = p.value(QStringLiteral("mqtt-password-file"));
        if (const QString why = readableFile(QStringLiteral("mqtt-password-file"), file); !why.isEmpty())
            return fail(why);
        if (const QString why = exposedPasswordFile(file); !why.isEmpty())
            return fail(why);
        QFile f(file);
        if (!f.open(QIODevice::ReadOnly))
            return fail(QStringLiteral("--mqtt-password-file %1: %2").arg(file, f.errorString()));
        // The first line, without its line end: files written by an editor end in one.
        out.password = QString::fromUtf8(f.readLine()).remove(QLatin1Char('\n')).remove(QLatin1Char('\r'));
    } else if (envPasswordSet) {
        out.password = envPassword;
    }
    if (!out.password.isEmpty() && out.user.isEmpty())
        return fail(QStringLiteral("a broker password needs --mqtt-user NAME"));
    if (p.isSet(QStringLiteral("mqtt-keepalive"))) {
        bool ok = false;
        out.keepAliveSeconds = p.value(QStringLiteral("mqtt-keepalive")).toInt(&ok);
        // Below 5 s the MQTT library refuses to connect.
        if (!ok || out.keepAliveSeconds < 5 || out.keepAliveSeconds > 65535)
            return fail(QStringLiteral("--mqtt-keepalive wants a whole number of seconds from 5 to 65535"));
    }
    if (p.isSet(QStringLiteral("mqtt-client-id"))) {
        out.clientId = p.value(QStringLiteral("mqtt-client-id"));
        // A broker's ACL names the id as given: it is refused rather than
        // changed behind the user's back.
        if (out.clientId.isEmpty() || out.clientId.toUtf8().size() > 65535
            || !std::all_of(out.clientId.begin(), out.clientId.end(), safeInClientId))
            return fail(QStringLiteral("--mqtt-client-id %1: a client id is 1 to 65535 letters, digits, '-', '_' "
                                       "and '.'").arg(out.clientId));
    }
    if (const QString why = readTimings(out); !why.isEmpty())
        return fail(why);
    return {};
}

} // namespace mqttopts
