#include "shell/QtSerialLink.h"

#include <QFileInfo>

#include <cerrno>
#include <cstring>

QtSerialLink::QtSerialLink(QObject *parent) : SerialLink(parent)
{
    // The receive buffer of the line: the tick drains it every 10 ms, so a
    // generous one only matters when the event loop stalls.
    port_.setReadBufferSize(0);
    connect(&port_, &QSerialPort::errorOccurred, this, &QtSerialLink::onError);
}

bool QtSerialLink::open(const QString &device)
{
    if (port_.isOpen())
        port_.close();
    device_ = device;
    port_.setPortName(device);
    openError_.clear();
    if (!port_.open(QIODevice::ReadWrite)) {
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

void QtSerialLink::close()
{
    if (port_.isOpen())
        port_.close();
}

QByteArray QtSerialLink::readAll()
{
    if (!port_.isOpen())
        return {};
    // Pick up what the OS holds without waiting for the event loop to do it.
    port_.waitForReadyRead(0);
    return port_.readAll();
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
    if (error == QSerialPort::ResourceError && port_.isOpen()) {
        const QString why = port_.errorString();
        port_.close();
        emit lost(why);
    }
}
