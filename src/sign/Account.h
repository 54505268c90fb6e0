#pragma once
#include <QString>

// Who runs the program, as the system's user database knows them: the
// account's login name and the person's full name (the first field of its
// GECOS entry; the login where that is empty). A signature is made by this
// account: the person logged in proves it is them by typing its password.
struct Account
{
    QString login;
    QString fullName;
};

Account currentAccount();
