#include "shell/frmMain.h"

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
    parser.process(app);

    frmMain w;
    w.show();
    if (parser.isSet(port))
        w.selectAtStart(parser.value(port));
    return app.exec();
}
