#include "shell/frmMain.h"
#include "table/RowJournal.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QTimer>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("TQ800"));
    QApplication::setApplicationVersion(QStringLiteral(TQ800_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Bench meter companion: live readings, table and chart."));
    parser.addHelpOption();
    parser.addVersionOption();
    QCommandLineOption port(QStringLiteral("port"),
                            QStringLiteral("Select and open DEVICE at start-up, as choosing it in the port list would."),
                            QStringLiteral("DEVICE"));
    parser.addOption(port);
    QCommandLineOption noJournal(QStringLiteral("no-journal"),
                                 QStringLiteral("Do not keep the rows in the crash journal."));
    QCommandLineOption journalDir(QStringLiteral("journal"),
                                  QStringLiteral("Keep the crash journal in FOLDER instead of the user's data folder."),
                                  QStringLiteral("FOLDER"));
    parser.addOption(noJournal);
    parser.addOption(journalDir);
    parser.process(app);

    frmMain w;
    w.show();
    if (!parser.isSet(noJournal))
        w.enableJournal(parser.isSet(journalDir) ? parser.value(journalDir) : RowJournal::defaultFolder());
    if (parser.isSet(port))
        w.selectAtStart(parser.value(port));
    return app.exec();
}
