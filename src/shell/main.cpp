#include "shell/frmMain.h"
#include "publish/MqttOptions.h"
#include "record/SampleOptions.h"
#include "publish/Publisher.h"
#include "record/RecordStore.h"
#include "record/Recorder.h"
#include "shell/StopSignals.h"
#include "text/NumericLocale.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QIcon>

#include <cstdio>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <tuple>

namespace {

struct Options
{
    QCommandLineOption port{QStringLiteral("port"),
                            QStringLiteral("Select and open DEVICE at start-up, as choosing it in the port list would."),
                            QStringLiteral("DEVICE")};
    QCommandLineOption noJournal{QStringLiteral("no-journal"), QStringLiteral("Do not keep the rows in the recordings store.")};
    QCommandLineOption journalDir{QStringLiteral("journal"),
                                  QStringLiteral("Keep the recordings store in FOLDER instead of the user's data folder."),
                                  QStringLiteral("FOLDER")};
};

// --help and --version answer on the terminal, so they must work where no
// display is: a window application would refuse to start there.
bool onlyAsksForText(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i)
        for (const char *o : {"-h", "--help", "--help-all", "-v", "--version", "-?"})
            if (std::strcmp(argv[i], o) == 0)
                return true;
    return false;
}

void printError(const QString &text)
{
    std::fprintf(stderr, "tq800: %s\n", qPrintable(text));
}

// A window needs a display. Without one Qt gives up by aborting, with
// advice to reinstall; say what is missing instead. (A platform chosen by
// name, e.g. offscreen, needs none; one that then fails is caught below.)
bool displayFound(int argc, char **argv)
{
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "-platform") == 0 || std::strcmp(argv[i], "--platform") == 0)
            return true;
    return !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") || !qEnvironmentVariableIsEmpty("DISPLAY")
        || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
#else
    Q_UNUSED(argc)
    Q_UNUSED(argv)
    return true;
#endif
}

// What Qt says while the application starts, held back: when the display
// named cannot be reached Qt ends with a fatal message and an abort, and
// the user should read one line that says what is missing instead. On a
// good start what was held is passed on as usual.
QtMessageHandler gPassOn = nullptr;
QList<std::tuple<QtMsgType, QString>> gHeld;

void holdStartMessage(QtMsgType type, const QMessageLogContext &, const QString &text)
{
    if (type != QtFatalMsg) {
        gHeld.append({type, text});
        return;
    }
    const QString why = gHeld.isEmpty() ? text : std::get<1>(gHeld.first());
    printError(QStringLiteral("no display was found (%1); tq800-log logs without a window")
                   .arg(why.section(QLatin1Char('\n'), 0, 0)));
    std::fflush(stderr);
    std::_Exit(1);
}

void passOnHeldMessages()
{
    qInstallMessageHandler(gPassOn);
    for (const auto &[type, text] : std::as_const(gHeld))
        qt_message_output(type, QMessageLogContext(), text);
    gHeld.clear();
}

} // namespace

int main(int argc, char **argv)
{
    const bool textOnly = onlyAsksForText(argc, argv);
    if (!textOnly && !displayFound(argc, argv)) {
        printError(QStringLiteral("no display was found (neither DISPLAY nor WAYLAND_DISPLAY is set); "
                                  "tq800-log logs without a window"));
        return 1;
    }
    if (!textOnly)
        gPassOn = qInstallMessageHandler(holdStartMessage);
    std::unique_ptr<QCoreApplication> app(textOnly ? new QCoreApplication(argc, argv) : new QApplication(argc, argv));
    useCNumbers();
    if (!textOnly)
        passOnHeldMessages();
    QCoreApplication::setApplicationName(QStringLiteral("TQ800"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TQ800_VERSION));
    if (auto *gui = qobject_cast<QApplication *>(app.get())) {
        // The menu entry names the window, so a desktop shows its icon.
        gui->setDesktopFileName(QStringLiteral("org.tq800.TQ800"));
        QIcon icon;
        icon.addFile(QStringLiteral(":/icons/tq800-48.png"));
        icon.addFile(QStringLiteral(":/icons/tq800-256.png"));
        gui->setWindowIcon(icon);
    }

    // Parsed after the application has taken its own options (-platform...).
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Bench meter companion: live readings, table and chart.\n\n"
        "Every row and event is kept as it lands in the recordings store, an SQLite\n"
        "database in the user's data folder (TQ800/recordings.sqlite), unless\n"
        "--no-journal; unfinished recordings are offered at start-up.\n"
        "Exit status: 0 when the window is closed (or ended by SIGTERM, SIGHUP or SIGINT,\n"
        "as Exit does), 3 when rows went to a fallback store, 1 for bad arguments or no display."));
    parser.addHelpOption();
    parser.addVersionOption();
    const Options o;
    parser.addOptions({o.port, o.noJournal, o.journalDir});
    parser.addOptions(mqttopts::options());
    parser.addOptions(sampleopts::options());
    parser.process(*app);
    // A word the program does not take is a mistyped option or a path
    // meant for --port: going on without it would hide the mistake.
    if (!parser.positionalArguments().isEmpty()) {
        printError(QStringLiteral("unexpected argument: %1 (see tq800 --help)").arg(parser.positionalArguments().first()));
        return 1;
    }
    MqttSettings mqtt;
    if (const QString why = mqttopts::read(parser, mqtt); !why.isEmpty()) {
        printError(why);
        return 1;
    }
    if (mqtt.enabled() && parser.isSet(o.noJournal)) {
        printError(QStringLiteral("--mqtt publishes from the recordings store and cannot go with --no-journal"));
        return 1;
    }

    const annotation::Sample sample = sampleopts::read(parser);
    if (!sample.isEmpty() && parser.isSet(o.noJournal)) {
        printError(QStringLiteral("--sample names the sample in the recordings store and cannot go with --no-journal"));
        return 1;
    }
    if (parser.isSet(o.journalDir) && parser.value(o.journalDir).isEmpty()) {
        printError(QStringLiteral("--journal wants a folder's name"));
        return 1;
    }

    frmMain w;
    // A logout, `kill` or a closed terminal ends the window as Exit does.
    StopSignals stopSignals;
    if (!stopSignals.install())
        printError(QStringLiteral("cannot catch SIGTERM and SIGHUP: %1").arg(QString::fromLocal8Bit(std::strerror(errno))));
    QObject::connect(&stopSignals, &StopSignals::stopRequested, &w, &frmMain::endBySignal);
    w.show();
    if (!parser.isSet(o.noJournal))
        w.enableJournal(parser.isSet(o.journalDir) ? parser.value(o.journalDir) : RecordStore::defaultFolder());
    if (w.recorder())
        w.recorder()->setSample(sample);
    // The broker's trouble shows as a notice, as a lost port does.
    std::unique_ptr<Publisher> publisher;
    if (mqtt.enabled()) {
        publisher = std::make_unique<Publisher>(*w.recorder(), w.core(), mqtt, parser.value(o.port));
        QObject::connect(publisher.get(), &Publisher::brokerLost, &w, [&w](const QString &text) {
            w.brokerNotice(text.left(1).toUpper() + text.mid(1));
        });
        QObject::connect(publisher.get(), &Publisher::brokerBack, &w, [&w] { w.brokerNotice(QString()); });
        // A refusal shows as the broker's notice too, until the broker takes
        // the messages again; a summary of flaps only on standard error.
        for (auto said : {&Publisher::refused, &Publisher::warning})
            QObject::connect(publisher.get(), said, &w, [&w](const QString &text) {
                w.brokerNotice(text.left(1).toUpper() + text.mid(1));
            });
        QObject::connect(publisher.get(), &Publisher::accepted, &w, [&w] { w.brokerNotice(QString()); });
        QObject::connect(publisher.get(), &Publisher::info, &w, &printError);
        if (!publisher->start())
            printError(QStringLiteral("cannot publish from the recordings store: %1").arg(publisher->error()));
    }
    if (parser.isSet(o.port))
        w.selectAtStart(parser.value(o.port));
    int code = app->exec();
    if (publisher)
        publisher->finish(5000);
    // The store failed: its rows went to the fallback named on stderr.
    if (code == 0 && w.recorder() && w.recorder()->storeLost())
        code = 3;
    return code;
}
