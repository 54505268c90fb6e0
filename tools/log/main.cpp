// tq800-log: records a bench meter's readings without a window.
//
// Drives the same core as the window, with a user who only selects the port
// and presses Clear when the meter has announced itself. Completed table rows
// can go to a CSV file, and every event with the whole visible state to
// stdout as JSON lines.

#include "shell/StopSignals.h"
#include "StoreCommands.h"

#include "chart/ChartPainter.h"
#include "files/ReplaceFile.h"
#include "publish/MqttOptions.h"
#include "publish/Publisher.h"
#include "publish/Republisher.h"
#include "record/RecordStore.h"
#include "record/Annotations.h"
#include "record/AnchoredFile.h"
#include "record/Recorder.h"
#include "record/SampleOptions.h"
#include "report/ReportBuild.h"
#include "report/SavedLimits.h"
#include "shell/ExportName.h"
#include "shell/HeadlessSession.h"
#include "shell/MainCore.h"
#include "shell/PortNames.h"
#include "shell/QtSerialLink.h"
#include "shell/UiPrompts.h"
#include "table/CsvLog.h"
#include "text/NumericLocale.h"
#include "text/VisibleText.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QTimer>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <unistd.h>

namespace {

void printError(const QString &text)
{
    // Messages name what came from outside (the meter, a file, the system):
    // a terminal shows its control characters, never obeys them. A message's
    // own line breaks (a hint below the reason) stay.
    QStringList lines = text.split(QLatin1Char('\n'));
    for (QString &line : lines)
        line = visibletext::visible(line);
    std::fprintf(stderr, "tq800-log: %s\n", qPrintable(lines.join(QLatin1Char('\n'))));
    std::fflush(stderr);
}

// Message boxes become lines on stderr: nobody is there to press OK.
class StderrPrompts : public UiPrompts
{
public:
    // A port that would not open is named with its reason after the start
    // fails (below), so the box's detail is not said twice.
    void MsgBox(const QString &text, Icon, const QString & = QString()) override { printError(text); }
};

// The exit request sits in the port's output buffer until the event loop
// hands it to the device; this long is ample for three characters at 9600 Bd.
constexpr int kDrainMs = 100;
// At the end, what the store still holds for the broker goes for this long;
// whatever does not is sent by the next run.
constexpr int kPublishDrainMs = 5000;

// The chart in the window: 10095 x 7215 twips at 15 twips a pixel.
const QSize kChartWindowSize(673, 481);

// A PNG chart and a PDF report need fonts and a painter, which need a GUI
// application (on the offscreen platform when nothing says otherwise); an
// SVG chart is plain text.
bool wantsPainter(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--report") == 0 || std::strncmp(argv[i], "--report=", 9) == 0)
            return true;
        QString file;
        if (std::strcmp(argv[i], "--chart") == 0 && i + 1 < argc)
            file = QString::fromLocal8Bit(argv[i + 1]);
        else if (std::strncmp(argv[i], "--chart=", 8) == 0)
            file = QString::fromLocal8Bit(argv[i] + 8);
        else
            continue;
        // An SVG chart says nothing about a --report further on.
        if (QFileInfo(file).suffix().compare(QLatin1String("svg"), Qt::CaseInsensitive) != 0)
            return true;
    }
    return false;
}

const char kSynopsis[] =
    "Usage: tq800-log --port DEVICE [--json] [--csv FILE] [--count N] [--seconds S]\n"
    "                 [--until-end] [--chart FILE] [--reconnect] [--export FILE [--tidy]]\n"
    "                 [--journal DIR | --no-journal] [--mqtt URL [--mqtt-topic PREFIX]\n"
    "                 [--mqtt-cafile FILE [--mqtt-cert FILE --mqtt-key FILE]]\n"
    "                 [--mqtt-user NAME [--mqtt-password-file FILE]] [--mqtt-keepalive S]]\n"
    "       tq800-log [--journal DIR] --list-recordings\n"
    "       tq800-log [--journal DIR] --verify [--recording ID [--entries]]\n"
    "       tq800-log [--journal DIR] --check FILE\n"
    "       tq800-log [--journal DIR] --recording ID [--export FILE [--tidy]] [--report FILE.pdf]\n"
    "       tq800-log [--journal DIR] (--recording ID | --since TIME) --republish --mqtt URL ...\n"
    "       tq800-log [--journal DIR] --recording ID --sign MEANING --reason TEXT < password\n"
    "       tq800-log [--journal DIR] --recording ID --note TEXT [--rows A-B]\n"
    "       tq800-log --help";

const char kDescription[] =
    "Records a bench meter's readings without a window.\n"
    "\n"
    "Opens DEVICE, polls the meter, and presses Clear whenever a model frame\n"
    "leaves polling stopped, so that logging starts by itself.\n"
    "\n"
    "--json prints one JSON object per line on stdout: {\"event\":\"open\",...}\n"
    "after the port opens, {\"event\":\"frame\",\"frame\":CONTENT,...} after each\n"
    "frame and {\"event\":\"Clear\",...} after the automatic Clear, each with the\n"
    "whole visible state (title, lcd, circles, panel, header, row, cells,\n"
    "grid_row, rows, top_row, highlight, polling, poll_timer, poll_command,\n"
    "buttons, range, and the chart: axes, cleared, drawn, printed, time_base,\n"
    "value_scale, temp_scale, start_seconds; see the README).\n"
    "--csv appends every completed row to FILE (UTF-8, CRLF), with a header\n"
    "line before the first row and whenever the columns change.\n"
    "\n"
    "--chart writes the chart at exit: FILE.svg as SVG, any other name as PNG\n"
    "at twice the window's chart size.\n"
    "\n"
    "Ends after --count rows, after --seconds, with --until-end after an end\n"
    "frame that found rows in the table (a memory download ends so), or on\n"
    "SIGINT/SIGTERM/SIGHUP, sending the meter the exit request. A CSV row that cannot\n"
    "be written ends it too (status 1), after the exit request.\n"
    "--reconnect waits for a lost port to come back (checked every 2 s) and\n"
    "goes on logging, instead of ending.\n"
    "--export FILE exports the table at the end as the window's Export button\n"
    "does: .xls (Excel 97-2003), .xlsx, .csv or .jsonl (one JSON object per\n"
    "reading, as published to a broker) by FILE's name; any other name is\n"
    "refused. With --tidy, a .csv holds one reading a row, each quantity's\n"
    "number in one fixed unit (see the README).\n"
    "The --export and --chart files are checked before logging starts; if the\n"
    "export fails at the end all the same, the rows also go to FILE.rows.csv\n"
    "(else to the current or the temporary folder), as said on standard error.\n"
    "\n"
    "Every row and event also goes to the recordings store (an SQLite database\n"
    "in the user's data folder, TQ800/recordings.sqlite, or in --journal DIR)\n"
    "unless --no-journal, so a failed export at the end loses nothing.\n"
    "--list-recordings prints one line per stored recording, beginning with its\n"
    "id; --recording ID --export FILE writes a stored one; --verify checks each\n"
    "recording's hash chain and prints \"intact\" with its fingerprint, \"ends\n"
    "early\" for one that was never ended, the first entry that does not\n"
    "match, or the entries a damaged file cannot give back (\"unreadable\")\n"
    "(exit status 1), and what its row in the store or the store's ledger of\n"
    "recordings says that its chain does not. --entries prints each entry's\n"
    "seq, kind and hash. An export or report of a stored recording is an\n"
    "event of its chain; a report or .xlsx carries that event's fingerprint,\n"
    "other exports have their SHA-256 in it. --check FILE says whether the\n"
    "store's chain, as it is now, holds that file (exit status 0) or not (1).\n"
    "--list-recordings, --verify and --check open the store read-only and\n"
    "change nothing; a recording that cannot be read whole is not exported.\n"
    "--mqtt URL publishes every row, event, the meter's settings and its status\n"
    "to the MQTT broker at URL, from the recordings store (see the README,\n"
    "\"Many meters, one lab\"); the password comes from --mqtt-password-file or\n"
    "the environment variable TQ800_MQTT_PASSWORD, never the command line.\n"
    "Without --mqtt (or --no-journal) the broker is TQ800_MQTT's, if set.\n"
    "--republish sends --recording ID, or every recording started at or after\n"
    "--since TIME, to the broker again as first published (exit status 1 when\n"
    "the broker did not acknowledge every entry).\n"
    "--sample NAME (with --batch, --method) names what is measured from the start:\n"
    "every reading after it carries it in the store, the exports and on the broker.\n"
    "--recording ID --sign performed|reviewed|approved --reason TEXT signs a stored\n"
    "recording as the account running the program, whose password is read from\n"
    "standard input (asked without echo on a terminal) and checked through PAM\n"
    "(service tq800); --recording ID --note TEXT adds an operator's note, on rows\n"
    "A to B with --rows A-B. Both go at the end of the recording's chain;\n"
    "--verify lists them, and the entries added after a signature.\n"
    "--report FILE.pdf writes a PDF report of the run at its end, or with\n"
    "--recording ID of a stored one: the meter, its settings and calibration\n"
    "(for pH the slope and offset against --slope-min/--slope-max, default\n"
    "95-105 %, and --offset-max, default 30 mV, or the limits saved in the\n"
    "window's Report limits dialog), statistics, the chart, the\n"
    "readings, the audit trail and the fingerprint.\n"
    "Rows the store does not take are held; those it has not taken at the end\n"
    "go to a new store in DIR.fallback-TIME beside it (else in the temporary\n"
    "folder), named on standard error.\n"
    "Exit status: 0 done, 1 bad arguments, the port or FILE would not open,\n"
    "the chart or the export could not be written,\n"
    "2 the port was lost while logging, 3 the recordings store failed (its\n"
    "rows went to the fallback named on standard error).";

} // namespace

int main(int argc, char **argv)
{
    // Before any Qt object: which kind of application this run needs.
    const bool pngChart = wantsPainter(argc, argv);
    if (pngChart && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    std::unique_ptr<QCoreApplication> appHolder(pngChart ? new QGuiApplication(argc, argv)
                                                         : new QCoreApplication(argc, argv));
    QCoreApplication &app = *appHolder;
    useCNumbers();
    QCoreApplication::setApplicationName(QStringLiteral("tq800-log"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TQ800_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromLatin1(kDescription));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption portOpt(QStringLiteral("port"),
                                     QStringLiteral("Serial device, e.g. /dev/ttyUSB0 (required)."),
                                     QStringLiteral("DEVICE"));
    const QCommandLineOption jsonOpt(QStringLiteral("json"), QStringLiteral("Print events as JSON lines on stdout."));
    const QCommandLineOption csvOpt(QStringLiteral("csv"), QStringLiteral("Append completed rows to FILE."),
                                    QStringLiteral("FILE"));
    const QCommandLineOption countOpt(QStringLiteral("count"), QStringLiteral("Stop after N completed rows."),
                                      QStringLiteral("N"));
    const QCommandLineOption secondsOpt(QStringLiteral("seconds"), QStringLiteral("Stop after S seconds."),
                                        QStringLiteral("S"));
    const QCommandLineOption untilEndOpt(QStringLiteral("until-end"),
                                         QStringLiteral("Stop after an end frame that found rows in the table."));
    const QCommandLineOption chartOpt(QStringLiteral("chart"),
                                      QStringLiteral("Write the chart to FILE at exit (.svg, else PNG)."),
                                      QStringLiteral("FILE"));
    const QCommandLineOption reconnectOpt(QStringLiteral("reconnect"),
                                          QStringLiteral("Wait for a lost port to come back instead of ending."));
    const QCommandLineOption exportOpt(QStringLiteral("export"),
                                       QStringLiteral("Export the table to FILE at the end (.xls, .xlsx, .csv)."),
                                       QStringLiteral("FILE"));
    const QCommandLineOption tidyOpt(QStringLiteral("tidy"),
                                     QStringLiteral("With --export FILE.csv: one reading a row, numbers in fixed units."));
    const QCommandLineOption journalOpt(QStringLiteral("journal"),
                                        QStringLiteral("Keep the recordings store in DIR."), QStringLiteral("DIR"));
    const QCommandLineOption noJournalOpt(QStringLiteral("no-journal"), QStringLiteral("Keep no recordings store."));
    const QCommandLineOption listOpt(QStringLiteral("list-recordings"), QStringLiteral("List the stored recordings."));
    const QCommandLineOption recordingOpt(QStringLiteral("recording"),
                                          QStringLiteral("A stored recording, for --export or --verify."),
                                          QStringLiteral("ID"));
    const QCommandLineOption verifyOpt(QStringLiteral("verify"), QStringLiteral("Check the stored recordings' chains."));
    const QCommandLineOption reportOpt(QStringLiteral("report"), QStringLiteral("Write a PDF report to FILE."),
                                       QStringLiteral("FILE"));
    const QCommandLineOption slopeMinOpt(QStringLiteral("slope-min"),
                                         QStringLiteral("Lowest pH slope that passes, % (95)."), QStringLiteral("PCT"));
    const QCommandLineOption slopeMaxOpt(QStringLiteral("slope-max"),
                                         QStringLiteral("Highest pH slope that passes, % (105)."), QStringLiteral("PCT"));
    const QCommandLineOption offsetMaxOpt(QStringLiteral("offset-max"),
                                          QStringLiteral("Largest pH offset that passes, either sign, mV (30)."),
                                          QStringLiteral("MV"));
    parser.addOptions({portOpt, jsonOpt, csvOpt, countOpt, secondsOpt, untilEndOpt, chartOpt, reconnectOpt, exportOpt,
                       tidyOpt, journalOpt, noJournalOpt, listOpt, recordingOpt, verifyOpt, reportOpt, slopeMinOpt, slopeMaxOpt,
                       offsetMaxOpt});
    parser.addOptions(mqttopts::options());
    // --- republishing stored recordings (beside the broker options) ---
    const QCommandLineOption republishOpt(QStringLiteral("republish"),
                                          QStringLiteral("Send --recording ID or --since TIME to the --mqtt broker "
                                                         "again, as first published."));
    const QCommandLineOption sinceOpt(QStringLiteral("since"),
                                      QStringLiteral("With --republish: every recording started at or after TIME "
                                                     "(ISO 8601)."),
                                      QStringLiteral("TIME"));
    parser.addOptions({republishOpt, sinceOpt});
    // --- end of republishing ---
    // --- files made of the store, checked against it ---
    const QCommandLineOption checkOpt(QStringLiteral("check"),
                                      QStringLiteral("Whether the store's chain still holds the report or export FILE."),
                                      QStringLiteral("FILE"));
    const QCommandLineOption entriesOpt(QStringLiteral("entries"),
                                        QStringLiteral("With --verify --recording ID: each entry's seq, kind and hash."));
    parser.addOptions({checkOpt, entriesOpt});
    // --- end of checking ---
    // --- samples, notes and signatures ---
    const QCommandLineOption noteOpt(QStringLiteral("note"), QStringLiteral("Add an operator's note to --recording ID."),
                                     QStringLiteral("TEXT"));
    const QCommandLineOption rowsOpt(QStringLiteral("rows"), QStringLiteral("With --note: the rows it is on, A-B."),
                                     QStringLiteral("A-B"));
    const QCommandLineOption signOpt(QStringLiteral("sign"),
                                     QStringLiteral("Sign --recording ID: performed|reviewed|approved."),
                                     QStringLiteral("MEANING"));
    const QCommandLineOption reasonOpt(QStringLiteral("reason"), QStringLiteral("With --sign: why."),
                                       QStringLiteral("TEXT"));
    parser.addOptions({noteOpt, rowsOpt, signOpt, reasonOpt});
    parser.addOptions(sampleopts::options());
    // --- end of samples, notes and signatures ---
    parser.process(app);
    // A service names its broker in its environment (an empty one: none);
    // --mqtt and --no-journal on the command line go first.
    const QString envBroker = qEnvironmentVariable("TQ800_MQTT");
    const bool brokerFromEnv =
        !envBroker.isEmpty() && !parser.isSet(QStringLiteral("mqtt")) && !parser.isSet(noJournalOpt);
    if (brokerFromEnv) {
        QStringList args = app.arguments();
        args.insert(1, envBroker);
        args.insert(1, QStringLiteral("--mqtt"));
        parser.process(args);
    }

    auto usageError = [&](const QString &text) {
        printError(text);
        std::fprintf(stderr, "%s\n", kSynopsis);
        return 1;
    };
    if (!parser.positionalArguments().isEmpty())
        return usageError(QStringLiteral("unexpected argument: %1").arg(parser.positionalArguments().first()));
    MqttSettings mqtt;
    if (const QString why = mqttopts::read(parser, mqtt); !why.isEmpty())
        return usageError(brokerFromEnv ? QStringLiteral("TQ800_MQTT=%1: %2").arg(envBroker, why) : why);
    // What goes to the broker is read from the store: without one there is
    // nothing to send again after an outage.
    if (mqtt.enabled() && parser.isSet(noJournalOpt))
        return usageError(QStringLiteral("--mqtt publishes from the recordings store and cannot go with --no-journal"));
    // An empty name would be the current folder, which nobody means.
    if (parser.isSet(journalOpt) && parser.value(journalOpt).isEmpty())
        return usageError(QStringLiteral("--journal wants a folder's name"));
    // The store's own commands need no meter.
    const QString folder = parser.isSet(journalOpt) ? parser.value(journalOpt) : RecordStore::defaultFolder();
    qint64 recordingId = 0;
    if (parser.isSet(recordingOpt)) {
        bool ok = false;
        recordingId = parser.value(recordingOpt).toLongLong(&ok);
        if (!ok || recordingId < 1)
            return usageError(QStringLiteral("--recording wants a recording's id (see --list-recordings)"));
    }
    // The limits the user saved, each replaced where given here.
    ReportLimits limits = savedlimits::load();
    for (auto [opt, value] : {std::pair{&slopeMinOpt, &limits.slopeMin}, std::pair{&slopeMaxOpt, &limits.slopeMax},
                              std::pair{&offsetMaxOpt, &limits.offsetMaxAbsMv}}) {
        if (!parser.isSet(*opt))
            continue;
        bool ok = false;
        *value = parser.value(*opt).toDouble(&ok);
        if (!ok || !std::isfinite(*value) || *value < 0)
            return usageError(QStringLiteral("--%1 wants a number, 0 or more").arg(opt->names().first()));
    }
    if (const QString why = savedlimits::problem(limits); !why.isEmpty())
        return usageError(QStringLiteral("--slope-min and --slope-max: %1").arg(why));
    // The name says what is written; a name it does not know would become
    // an .xls that a data tool cannot read as the name promises.
    const bool tidy = parser.isSet(tidyOpt);
    if (tidy && !parser.isSet(exportOpt))
        return usageError(QStringLiteral("--tidy goes with --export FILE.csv"));
    if (parser.isSet(exportOpt))
        if (const QString why = loggerExportRefusal(parser.value(exportOpt), tidy); !why.isEmpty())
            return usageError(why);
    // --- republishing stored recordings ---
    if (parser.isSet(sinceOpt) && !parser.isSet(republishOpt))
        return usageError(QStringLiteral("--since goes with --republish"));
    if (parser.isSet(republishOpt)) {
        if (!mqtt.enabled())
            return usageError(QStringLiteral("--republish needs --mqtt URL (or TQ800_MQTT)"));
        if ((recordingId > 0) == parser.isSet(sinceOpt))
            return usageError(QStringLiteral("--republish wants either --recording ID or --since TIME"));
        const QDateTime since = republish::parseSince(parser.value(sinceOpt));
        if (parser.isSet(sinceOpt) && !since.isValid())
            return usageError(QStringLiteral("--since %1: write an ISO 8601 time, 2026-12-07T08:00, "
                                             "2026-12-07T08:00:00+01:00 or 2026-12-07").arg(parser.value(sinceOpt)));
        return storecmd::republish(folder, recordingId, since, mqtt);
    }
    // --- end of republishing ---
    // --- files made of the store, checked against it ---
    if (parser.isSet(entriesOpt) && (!parser.isSet(verifyOpt) || recordingId == 0))
        return usageError(QStringLiteral("--entries goes with --verify --recording ID"));
    if (parser.isSet(checkOpt))
        return storecmd::check(folder, parser.value(checkOpt));
    if (parser.isSet(entriesOpt))
        return storecmd::entries(folder, recordingId);
    // --- end of checking ---
    // --- samples, notes and signatures ---
    if (parser.isSet(signOpt) || parser.isSet(noteOpt)) {
        if (recordingId == 0)
            return usageError(QStringLiteral("--sign and --note go with --recording ID"));
        if (parser.isSet(signOpt) == parser.isSet(noteOpt))
            return usageError(QStringLiteral("--sign and --note are added one at a time"));
        if (parser.isSet(signOpt)) {
            if (!parser.isSet(reasonOpt) || parser.value(reasonOpt).trimmed().isEmpty())
                return usageError(QStringLiteral("--sign wants --reason TEXT"));
            return storecmd::sign(folder, recordingId, parser.value(signOpt), parser.value(reasonOpt));
        }
        int from = 0, to = 0;
        if (parser.isSet(rowsOpt) && !annotation::parseRows(parser.value(rowsOpt), from, to))
            return usageError(QStringLiteral("--rows wants A-B, the first and the last row (or one row), from 1"));
        if (parser.value(noteOpt).trimmed().isEmpty())
            return usageError(QStringLiteral("--note wants a text"));
        return storecmd::note(folder, recordingId, parser.value(noteOpt).trimmed(), from, to);
    }
    for (const QCommandLineOption *o : {&reasonOpt, &rowsOpt})
        if (parser.isSet(*o))
            return usageError(QStringLiteral("--%1 goes with --%2").arg(o->names().first(),
                                                                        o == &reasonOpt ? QStringLiteral("sign")
                                                                                        : QStringLiteral("note")));
    const annotation::Sample sample = sampleopts::read(parser);
    if (!sample.isEmpty() && parser.isSet(noJournalOpt))
        return usageError(QStringLiteral("--sample names the sample in the recordings store and cannot go with --no-journal"));
    // --- end of samples, notes and signatures ---
    if (parser.isSet(listOpt))
        return storecmd::list(folder);
    if (parser.isSet(verifyOpt))
        return storecmd::verify(folder, recordingId);
    if (recordingId > 0) {
        if (!parser.isSet(exportOpt) && !parser.isSet(reportOpt))
            return usageError(QStringLiteral("--recording wants --export FILE, --report FILE.pdf or --verify"));
        int status = 0;
        if (parser.isSet(exportOpt))
            status = storecmd::exportStored(folder, recordingId, parser.value(exportOpt), tidy);
        if (parser.isSet(reportOpt))
            status = qMax(status, storecmd::reportStored(folder, recordingId, parser.value(reportOpt), limits));
        return status;
    }
    if (parser.isSet(journalOpt) && parser.isSet(noJournalOpt))
        return usageError(QStringLiteral("--journal and --no-journal exclude each other"));

    const QString device = parser.value(portOpt);
    if (device.isEmpty())
        return usageError(QStringLiteral("--port DEVICE is required"));
    int count = 0;
    if (parser.isSet(countOpt)) {
        bool ok = false;
        count = parser.value(countOpt).toInt(&ok);
        if (!ok || count < 1)
            return usageError(QStringLiteral("--count wants a whole number of rows, 1 or more"));
    }
    int timeLimitMs = 0;
    if (parser.isSet(secondsOpt)) {
        bool ok = false;
        const double s = parser.value(secondsOpt).toDouble(&ok);
        // At least a millisecond, and no more than a timer can count.
        if (!ok || !std::isfinite(s) || s <= 0 || s > 2e6)
            return usageError(QStringLiteral("--seconds wants a number of seconds above 0 (at most 2000000)"));
        timeLimitMs = qMax(1, int(std::lround(s * 1000)));
    }

    // The files written at the end are checked now, before a run of hours
    // finds at its end that their folder was never there (the rows would go
    // elsewhere, but the user asked for this file).
    for (const QCommandLineOption *atEnd : {&exportOpt, &chartOpt, &reportOpt}) {
        const QString file = parser.value(*atEnd);
        if (const QString why = file.isEmpty() ? QString() : ReplaceFile::check(file); !why.isEmpty()) {
            printError(QStringLiteral("cannot write %1: %2").arg(file, why));
            return 1;
        }
    }

    CsvLog csv;
    if (parser.isSet(csvOpt) && !csv.open(parser.value(csvOpt))) {
        printError(QStringLiteral("cannot open %1: %2").arg(parser.value(csvOpt), csv.errorString()));
        return 1;
    }

    QFile out;
    if (parser.isSet(jsonOpt) && !out.open(STDOUT_FILENO, QIODevice::WriteOnly)) {
        printError(QStringLiteral("cannot write to stdout"));
        return 1;
    }

    StderrPrompts prompts;
    QtSerialLink link;
    MainCore core(&link, &prompts);
    std::unique_ptr<Recorder> recorder;
    if (!parser.isSet(noJournalOpt)) {
        recorder = std::make_unique<Recorder>(core, folder);
        QObject::connect(recorder.get(), &Recorder::storeFailed, &printError);
        QObject::connect(recorder.get(), &Recorder::storeRecovered, &printError);
        QObject::connect(recorder.get(), &Recorder::storeNotice, &printError);
        if (!recorder->startNotice().isEmpty())
            printError(recorder->startNotice());
        recorder->setSample(sample);
    }
    std::unique_ptr<Publisher> publisher;
    if (mqtt.enabled()) {
        publisher = std::make_unique<Publisher>(*recorder, core, mqtt, device);
        QObject::connect(publisher.get(), &Publisher::connected, &printError);
        QObject::connect(publisher.get(), &Publisher::brokerLost, &printError);
        QObject::connect(publisher.get(), &Publisher::brokerBack, &printError);
        for (auto said : {&Publisher::refused, &Publisher::accepted, &Publisher::warning, &Publisher::info})
            QObject::connect(publisher.get(), said, &printError);
        if (!publisher->start()) {
            printError(QStringLiteral("cannot publish from the recordings store in %1: %2").arg(folder, publisher->error()));
            return 1;
        }
    }
    HeadlessSession session(core);
    if (out.isOpen())
        session.setJsonOutput(&out);
    if (csv.isOpen())
        session.setCsvLog(&csv);
    session.setRowLimit(count);
    session.setTimeLimit(timeLimitMs);
    session.setUntilEnd(parser.isSet(untilEndOpt));
    session.setReconnect(parser.isSet(reconnectOpt));
    session.setExportFile(parser.value(exportOpt), tidy);
    // Nothing at the end reads the whole log back (the store has it): the
    // table need not hold it, and memory stays flat over a long run.
    core.setStreamingOnly(!out.isOpen() && !parser.isSet(exportOpt) && !parser.isSet(chartOpt)
                          && !parser.isSet(reportOpt));

    QObject::connect(&session, &HeadlessSession::message, &printError);
    QObject::connect(&session, &HeadlessSession::finished, &app, [&app](int code) {
        QTimer::singleShot(kDrainMs, &app, [code] { QCoreApplication::exit(code); });
    });

    StopSignals stopSignals;
    if (!stopSignals.install())
        printError(QStringLiteral("SIGINT/SIGTERM will end the program without the exit request"));
    QObject::connect(&stopSignals, &StopSignals::stopRequested, &session, &HeadlessSession::stop);

    if (!session.start(device)) {
        // The core has said so in its own words; name the device as well.
        printError(QStringLiteral("could not open %1").arg(portnames::openFailureDetail(device, link.openError())));
        return 1;
    }
    // Where this run logs, and at the end what it wrote.
    printError(QStringLiteral("logging %1%2").arg(device, csv.isOpen() ? QStringLiteral(" to ") + parser.value(csvOpt)
                                                                      : QString()));
    int code = app.exec();
    // A run that ended without the exit request (its port lost) ends its
    // recording all the same; only a crash leaves one unfinished.
    if (recorder)
        recorder->finishRun();
    // Rows the store never took went to the fallback (said on stderr).
    if (recorder && recorder->storeLost() && code == 0)
        code = 3;
    // The end of the run (its exit event) to the broker, then "offline".
    if (publisher)
        publisher->finish(kPublishDrainMs);
    // Whatever else failed, the run is in the store.
    if (recorder && recorder->current().id > 0 && code != 0 && !recorder->storeLost())
        printError(QStringLiteral("the rows are kept as recording %1 in %2 (tq800-log --recording %1 --export FILE)")
                       .arg(recorder->current().id)
                       .arg(folder));
    // Rows the file did not take are not counted as written to it.
    printError(QStringLiteral("%1 logged%2").arg(rowsText(session.rowsCompleted()),
                                                 csv.isOpen() ? QStringLiteral(", %1 written to %2")
                                                                    .arg(rowsText(csv.rowsWritten()), parser.value(csvOpt))
                                                              : QString()));
    if (parser.isSet(chartOpt)) {
        const QString file = parser.value(chartOpt);
        const QString error = saveChart(file, kChartWindowSize, core.chart, core.Picture4);
        if (!error.isEmpty()) {
            printError(QStringLiteral("the chart was not written to %1: %2").arg(file, error));
            code = code ? code : 1;
        }
    }
    if (parser.isSet(reportOpt)) {
        // The run as stored, with its events and fingerprint; without a
        // store, the table as it stands.
        const QString file = parser.value(reportOpt);
        const QString allRows = parser.isSet(exportOpt) ? parser.value(exportOpt) : QStringLiteral("an export of this run");
        ReportData data;
        if (recorder)
            recorder->flush();
        if (const qint64 id = recorder ? recorder->lastRecordingId() : 0; id > 0) {
            QString readError;
            if (const auto rec = recorder->store().recording(id))
                data = storedReportData(recorder->store(), *rec, allRows, readError);
            else if (recorder->store().readFailed())
                readError = recorder->store().error();
            if (!readError.isEmpty()) {
                // Said, and the table in memory reported instead.
                printError(QStringLiteral("the stored recording %1 could not be read for the report (%2); it shows "
                                          "the table as it stands, without the recording's events and fingerprint")
                               .arg(id)
                               .arg(readError));
                data = ReportData();
                code = code ? code : 1;
            }
        }
        if (data.recordingId.isEmpty())
            data = liveReportData(core, allRows);
        data.limits = limits;
        // The stored run's report is an event of its chain (AnchoredFile.h).
        const qint64 id = data.recordingId.isEmpty() || !recorder ? 0 : recorder->lastRecordingId();
        const auto write = [&](const Anchor &a) {
            anchorReport(data, a);
            return writeReport(file, data);
        };
        QString notice;
        const QString error = id > 0 ? recorder->writeAnchored(id, file, fileEvent(QStringLiteral("report"), file, {}),
                                                               write, &notice)
                                     : write(Anchor{});
        if (!notice.isEmpty())
            printError(notice);
        if (!error.isEmpty()) {
            printError(QStringLiteral("the report was not written to %1: %2").arg(file, error));
            code = code ? code : 1;
        } else {
            printError(QStringLiteral("report written to %1").arg(file));
        }
    }
    return code;
}
