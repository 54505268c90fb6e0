#include "shell/QtSerialLink.h"

#include "shell/LineRead.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

QtSerialLink::QtSerialLink(QObject *parent) : SerialLink(parent)
{
    // The receive buffer of the line: the tick drains it every 10 ms, so a
    // generous one only matters when the event loop stalls.
    port_.setReadBufferSize(0);
    connect(&port_, &QSerialPort::errorOccurred, this, &QtSerialLink::onError);
}

bool QtSerialLink::open(const QString &device)
{
    close();
    device_ = device;
    port_.setPortName(device);
    openError_.clear();
    if (!lockDevice(device))
        return false;
    if (!port_.open(QIODevice::ReadWrite)) {
        releaseDevice();
        // Plain words for the usual causes, the system's own for the rest.
        switch (port_.error()) {
        case QSerialPort::DeviceNotFoundError:
            openError_ = QStringLiteral("no such device");
            break;
        case QSerialPort::PermissionError:
            // The same error stands for a lock held by another program.
            openError_ = QFileInfo(device).isReadable() && QFileInfo(device).isWritable()
                ? QStringLiteral("in use by another program")
                : QStringLiteral("permission denied");
            break;
        default:
            openError_ = port_.errorString() == QString::fromLocal8Bit(std::strerror(ENOTTY))
                ? QStringLiteral("not a serial device")
                : port_.errorString();
            break;
        }
        return false;
    }
    port_.setBaudRate(QSerialPort::Baud9600);
    port_.setDataBits(QSerialPort::Data8);
    port_.setParity(QSerialPort::NoParity);
    port_.setStopBits(QSerialPort::OneStop);
    port_.setFlowControl(QSerialPort::NoFlowControl);
    return true;
}

bool QtSerialLink::lockDevice(const QString &device)
{
#ifdef Q_OS_UNIX
    // Qt's own lock goes by the device's name, and a tty's exclusive mode
    // does not hold for root: the same device under another name (a
    // symlink, /dev/serial/by-id/...) would open twice, and two programs
    // would each read half of every answer. A lock on the device itself
    // follows it whatever it is called. It is taken on a descriptor of its
    // own before the port is opened, so that a refused second open never
    // touches the line settings of the program that has it.
    // (A device that does not open here is left to the port's open, which
    // says why in its own terms.)
    lockFd_ = ::open(QFile::encodeName(device).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (lockFd_ >= 0 && ::flock(lockFd_, LOCK_EX | LOCK_NB) != 0) {
        const int why = errno;
        releaseDevice();
        openError_ = why == EWOULDBLOCK ? QStringLiteral("in use by another program")
                                        : QString::fromLocal8Bit(std::strerror(why));
        return false;
    }
#else
    Q_UNUSED(device)
#endif
    return true;
}

void QtSerialLink::releaseDevice()
{
#ifdef Q_OS_UNIX
    if (lockFd_ >= 0)
        ::close(lockFd_);
    lockFd_ = -1;
#endif
}

void QtSerialLink::close()
{
    if (port_.isOpen())
        port_.close();
    releaseDevice();
}

QByteArray QtSerialLink::readAll()
{
    if (!port_.isOpen())
        return {};
    // What Qt's own notifier has taken in comes first.
    QByteArray data = port_.readAll();
#ifdef Q_OS_UNIX
    // Then the descriptor itself, on every tick, whether or not a request
    // is due: with polling stopped nothing is written, so a hang-up shows
    // only here (QSerialPort takes a read that yields nothing for a passing
    // read error and tries again, for ever).
    const QString gone = readWaiting(int(port_.handle()), data);
    if (!gone.isEmpty())
        loseLine(gone);
#else
    port_.waitForReadyRead(0);
    data += port_.readAll();
#endif
    return data;
}

void QtSerialLink::write(const QByteArray &data)
{
    // Hand the request to the driver now rather than at the next turn of
    // the event loop: the exit request is followed by the window closing,
    // and a queued request would go with it.
    if (port_.isOpen()) {
        port_.write(data);
        port_.flush();
    }
}

void QtSerialLink::onError(QSerialPort::SerialPortError error)
{
    // A resource error on an open port means the device is gone; anything
    // else (a failed open, a timeout) is reported where it happens.
    if (error == QSerialPort::ResourceError && port_.isOpen())
        loseLine(port_.errorString());
}

void QtSerialLink::loseLine(const QString &reason)
{
    // Nothing more is read from or written to the dead descriptor.
    close();
    emit lost(reason);
}
