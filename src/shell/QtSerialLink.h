#pragma once
#include "shell/SerialLink.h"

#include <QSerialPort>

class QtSerialLink : public SerialLink
{
    Q_OBJECT
public:
    explicit QtSerialLink(QObject *parent = nullptr);
    ~QtSerialLink() override { close(); }

    bool open(const QString &device) override;
    void close() override;
    bool isOpen() const override { return port_.isOpen(); }
    QByteArray readAll() override;
    void write(const QByteArray &data) override;
    QString openError() const override { return openError_; }
    QString device() const override { return device_; }

private:
    void onError(QSerialPort::SerialPortError error);
    void loseLine(const QString &reason);
    bool lockDevice(const QString &device);
    void releaseDevice();

    QSerialPort port_;
    QString device_;
    QString openError_;
    int lockFd_ = -1;                 // holds the device's lock while open
};
