#pragma once
#include <QObject>

class QSocketNotifier;

// Turns SIGINT, SIGTERM and SIGHUP into a Qt signal on the event loop. The handler
// itself only writes a byte to a pipe (about the only thing a signal handler
// may safely do); the notifier on the other end of the pipe emits
// stopRequested() from the event loop, where the session can end properly.
class StopSignals : public QObject
{
    Q_OBJECT
public:
    explicit StopSignals(QObject *parent = nullptr);
    ~StopSignals() override;

    // False (errno set) when the pipe or the handlers could not be set up.
    bool install();

signals:
    void stopRequested(int signalNumber);

private:
    void onReadable();

    QSocketNotifier *notifier_ = nullptr;
};
