#pragma once
#include <QByteArray>
#include <QObject>
#include <QString>

// The serial-port service the main window uses (MSComm1): open a device,
// read everything waiting, write a request. The real one wraps QSerialPort;
// tests put a scripted one in its place.
class SerialLink : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    ~SerialLink() override = default;

    virtual bool open(const QString &device) = 0;   // 9600 8N1, no flow control
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    virtual QByteArray readAll() = 0;
    virtual void write(const QByteArray &data) = 0;
    virtual QString device() const = 0;
    // Why the last open failed, in the system's words; empty if unknown.
    virtual QString openError() const { return {}; }

signals:
    // The open port went away under us (adapter unplugged, device removed).
    void lost(const QString &reason);
};
