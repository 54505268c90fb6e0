#pragma once
#include "sign/Account.h"

#include <QByteArray>
#include <QJsonObject>
#include <QString>

#include <functional>

// A signature as both programs make it: the meaning and the reason are
// checked, the person proves they are `who` (the account running the
// program) by its password, checked through PAM, and only then `add`
// puts the signature's fields into the recording's chain (it adds the
// fingerprint signed over). Empty on success, else why not; nothing is
// added on a refusal. `password` is wiped either way.
QString signAs(const Account &who, const QString &meaning, const QString &reason, QByteArray &password,
               const std::function<QString(const QJsonObject &fields)> &add);

// Reads a password: from the terminal without echo after `prompt` (on
// standard error) when standard input is one, else its first line.
// Nothing when none could be read.
QByteArray readPassword(const QString &prompt);
