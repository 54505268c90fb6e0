#include "sign/Signing.h"

#include "record/Annotations.h"
#include "sign/PamCheck.h"

#include <cstdio>
#include <string>
#include <termios.h>
#include <unistd.h>

QString signAs(const Account &who, const QString &meaning, const QString &reason, QByteArray &password,
               const std::function<QString(const QJsonObject &fields)> &add)
{
    // 1. What is signed, and why: asked before the password is.
    QString why;
    if (!annotation::meaning(meaning))
        why = QStringLiteral("a signature means %1, not \"%2\"").arg(annotation::meaningChoices(), meaning);
    else if (reason.trimmed().isEmpty())
        why = QStringLiteral("a signature needs its reason");
    else if (who.login.isEmpty())
        why = QStringLiteral("the account running the program is not in the system's user database");
    if (!why.isEmpty()) {
        password.fill('\0');
        password.clear();
        return why;
    }
    // 2. The person is the account's.
    if (const QString refused = pamCheck(QString::fromLatin1(kPamService), who.login, password); !refused.isEmpty())
        return QStringLiteral("not signed: %1").arg(refused);
    // 3. Into the chain.
    return add(annotation::signatureFields(who.login, who.fullName, meaning, reason.trimmed()));
}

QByteArray readPassword(const QString &prompt)
{
    std::string line;
    termios before {};
    const bool terminal = isatty(STDIN_FILENO) && tcgetattr(STDIN_FILENO, &before) == 0;
    if (terminal) {
        std::fprintf(stderr, "%s", qPrintable(prompt));
        std::fflush(stderr);
        termios quiet = before;
        quiet.c_lflag &= ~tcflag_t(ECHO);
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    }
    // A byte at a time straight from the descriptor: nothing is left in a
    // buffer of the C library.
    char c = 0;
    bool any = false;
    while (::read(STDIN_FILENO, &c, 1) == 1) {
        any = true;
        if (c == '\n')
            break;
        line.push_back(c);
    }
    if (terminal) {
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &before);
        std::fprintf(stderr, "\n");
    }
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    QByteArray out = any ? QByteArray(line.data(), qsizetype(line.size())) : QByteArray();
    std::fill(line.begin(), line.end(), '\0');
    return out;
}
