#include "record/LiveLock.h"

#include <QDir>
#include <QFile>

#include <utility>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

QString LiveLock::fileFor(const QString &folder, const QString &uuid)
{
    return QDir(folder).filePath(QStringLiteral("recording-%1.live").arg(uuid));
}

bool LiveLock::acquire(const QString &folder, const QString &uuid)
{
    release();
    const QString path = fileFor(folder, uuid);
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return false;
    }
    // Another program may have removed a stale file between our open and
    // our lock: a lock on a file no longer at the path tells nobody.
    struct stat mine {}, there {};
    if (::fstat(fd, &mine) != 0 || ::stat(name.constData(), &there) != 0 || mine.st_ino != there.st_ino
        || mine.st_dev != there.st_dev) {
        ::close(fd);
        return false;
    }
    fd_ = fd;
    path_ = path;
    return true;
}

void LiveLock::release()
{
    if (fd_ < 0)
        return;
    // Removed while still held, so nobody takes a file that is going away.
    QFile::remove(path_);
    ::close(fd_);
    fd_ = -1;
}

bool LiveLock::isLive(const QString &folder, const QString &uuid)
{
    const int fd = ::open(QFile::encodeName(fileFor(folder, uuid)).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;   // no file: nobody has it
    const bool free = ::flock(fd, LOCK_SH | LOCK_NB) == 0;
    ::close(fd);
    return !free;
}

void LiveLock::removeStale(const QString &folder)
{
    const QStringList names = QDir(folder).entryList({QStringLiteral("recording-*.live")}, QDir::Files);
    for (const QString &n : names) {
        const QByteArray path = QFile::encodeName(QDir(folder).filePath(n));
        const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            continue;
        // Removed while we hold it: a program taking it now finds it gone.
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
            ::unlink(path.constData());
        ::close(fd);
    }
}

void LiveLock::handOver(LiveLock &other)
{
    if (&other == this)
        return;
    other.release();
    other.fd_ = std::exchange(fd_, -1);
    other.path_ = std::exchange(path_, QString());
}
