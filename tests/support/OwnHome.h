#pragma once
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>

// Tests never touch the user's own data. A test class calls this from its
// initMain(), before the application object resolves any path: paths Qt
// resolves in the test are test ones, and the programs a test starts (tq800,
// tq800-log, and the tools that read our files back, which keep caches and
// profiles of their own) find a home of their own, a scratch folder removed
// when the test program ends.
inline void useOwnHome()
{
    QStandardPaths::setTestModeEnabled(true);
    static QTemporaryDir home;   // removed at exit, with all it holds
    const QByteArray path = QFile::encodeName(home.path());
    qputenv("HOME", path);
    qputenv("XDG_DATA_HOME", path + "/.local/share");
    qputenv("XDG_CONFIG_HOME", path + "/.config");
    qputenv("XDG_CACHE_HOME", path + "/.cache");
    qputenv("XDG_STATE_HOME", path + "/.local/state");
}
