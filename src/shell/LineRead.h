#pragma once
#include <QByteArray>
#include <QString>

// Reads everything waiting at an open serial descriptor without blocking,
// and tells whether the device behind it is still there. A hung-up tty (an
// adapter unplugged, the far end of a pseudo-terminal closed) shows it in
// one of three ways: poll() flags a hang-up or an error, a read fails, or
// the descriptor keeps signalling readable while a read yields nothing.
// Appends what was read to `into`; returns "" while the line is up, else
// why it went (in the system's words where it has some).
QString readWaiting(int fd, QByteArray &into);
