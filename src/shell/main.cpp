#include "shell/frmMain.h"
#include "record/RecordStore.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QIcon>

#include <cstring>
#include <memory>

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

} // namespace

int main(int argc, char **argv)
{
    std::unique_ptr<QCoreApplication> app(onlyAsksForText(argc, argv) ? new QCoreApplication(argc, argv)
                                                                      : new QApplication(argc, argv));
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

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Bench meter companion: live readings, table and chart.\n\n"
        "Every row and event is kept as it lands in the recordings store, an SQLite\n"
        "database in the user's data folder (TQ800/recordings.sqlite), unless\n"
        "--no-journal; unfinished recordings are offered at start-up.\n"
        "Exit status: 0 when the window is closed, 1 for bad arguments."));
    parser.addHelpOption();
    parser.addVersionOption();
    const Options o;
    parser.addOptions({o.port, o.noJournal, o.journalDir});
    parser.process(*app);

    frmMain w;
    w.show();
    if (!parser.isSet(o.noJournal))
        w.enableJournal(parser.isSet(o.journalDir) ? parser.value(o.journalDir) : RecordStore::defaultFolder());
    if (parser.isSet(o.port))
        w.selectAtStart(parser.value(o.port));
    return app->exec();
}
