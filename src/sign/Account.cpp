#include "sign/Account.h"

#include <pwd.h>
#include <unistd.h>

Account currentAccount()
{
    Account a;
    if (const passwd *pw = getpwuid(getuid())) {
        a.login = QString::fromLocal8Bit(pw->pw_name);
        // "Ann Smith,Room 12,phone,...": the name is the first field.
        if (pw->pw_gecos)
            a.fullName = QString::fromLocal8Bit(pw->pw_gecos).section(QLatin1Char(','), 0, 0).trimmed();
    } else {
        a.login = qEnvironmentVariable("USER");
    }
    if (a.fullName.isEmpty())
        a.fullName = a.login;
    return a;
}
