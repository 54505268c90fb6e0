#pragma once
#include <QString>
#include <QStringList>

// Turning what the user typed into the port list into a device to open.
namespace portnames {

// True when the text names a device itself ("/dev/ttyUSB0", "ttyACM0",
// "/dev/pts/3", "./meter", "COM3") rather than a port number.
bool namesDevice(const QString &text);

// The device for a typed device name ("ttyUSB0" -> "/dev/ttyUSB0"; a
// relative path from the current folder, made absolute).
QString deviceForText(const QString &text);

// Serial devices present, in the order port numbers count them: USB
// adapters first, then ACM modems, then on-board ports, each by number.
QStringList presentDevices();

// The order rule on its own, for a given list of device names.
QStringList orderDevices(QStringList names);

// Port number n (1-based): COMn on Windows, elsewhere the n-th present
// device; "" when there is no such device.
QString deviceForNumber(int n, const QStringList &present);

// What to tell the user when `device` would not open for `reason` (the
// link's openError): the reason, and for a permission problem the fix.
QString openFailureDetail(const QString &device, const QString &reason);

// The fix for a device the user may not open: join its group when that is
// a serial-device group that may read and write it, otherwise ask an
// administrator.
QString permissionHint(const QString &group, bool groupCanReadWrite);

} // namespace portnames
