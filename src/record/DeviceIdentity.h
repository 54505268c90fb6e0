#pragma once
#include <QString>

// The name under which a serial device stays the same across replugs and
// reboots: its link in /dev/serial/by-id (maker, model and serial number of
// the adapter), or "" where it has none (a pseudo-terminal, an on-board port).
QString stableDeviceName(const QString &device, const QString &byIdFolder = QStringLiteral("/dev/serial/by-id"));
