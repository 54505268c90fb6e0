#include "record/LiveLock.h"

#include <QDir>
#include <QFile>

#include <utility>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

QString LiveLock::fileFor(const QString &folder, const QString &uuid)
{
    return QDir(folder).filePath(QStringLiteral("recording-%1.live").arg(uuid));
}

bool LiveLock::acquire(const QString &folder, const QString &uuid)
{
    release();
    const QString path = fileFor(folder, uuid);
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
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

void LiveLock::handOver(LiveLock &other)
{
    if (&other == this)
        return;
    other.release();
    other.fd_ = std::exchange(fd_, -1);
    other.path_ = std::exchange(path_, QString());
}
