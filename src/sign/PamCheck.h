#pragma once
#include <QByteArray>
#include <QString>

// Whether `password` is the password of `login`, asked of the system's
// authentication (PAM) under `service` (/etc/pam.d/<service>, or PAM's
// "other" where it has none), account checks included (expired, locked).
// Empty when it is, else why not in words for the user. The password is
// handed to PAM only, never kept, and wiped from `password` before this
// returns.
QString pamCheck(const QString &service, const QString &login, QByteArray &password);

// The service the programs authenticate a signature with.
inline constexpr char kPamService[] = "tq800";
