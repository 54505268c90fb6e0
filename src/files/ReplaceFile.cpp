#include "files/ReplaceFile.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString systemReason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// What is not a regular file, in the words the user reads.
struct NotAFile
{
    mode_t type;
    const char *words;
};
constexpr NotAFile kNotFiles[] = {
    {S_IFDIR, "a folder has that name"},
    {S_IFCHR, "it is a device, not a file"},
    {S_IFBLK, "it is a device, not a file"},
    {S_IFIFO, "it is a named pipe (FIFO), not a file"},
    {S_IFSOCK, "it is a socket, not a file"},
    {S_IFLNK, "it is a symbolic link, not a file"},
};

// Empty for a regular file, else what it is instead.
QString notAFile(mode_t mode)
{
    if (S_ISREG(mode))
        return {};
    for (const NotAFile &k : kNotFiles)
        if ((mode & S_IFMT) == k.type)
            return QString::fromLatin1(k.words);
    return QStringLiteral("it is not a regular file");
}

// What a path names once symbolic links are followed: the file to replace
// or to create, whether it exists, and its status if so.
struct Target
{
    QString path;
    bool exists = false;
    struct stat st {};
    QString error;
};

Target resolve(const QString &path)
{
    constexpr int kMaxLinks = 40;   // as the system counts before ELOOP
    Target t;
    t.path = QFileInfo(path).absoluteFilePath();
    for (int links = 0;; ++links) {
        const QByteArray name = QFile::encodeName(t.path);
        if (::lstat(name.constData(), &t.st) != 0) {
            // Nothing there is a new file; its folder is checked next.
            if (errno != ENOENT)
                t.error = systemReason(errno);
            return t;
        }
        if (!S_ISLNK(t.st.st_mode)) {
            t.exists = true;
            return t;
        }
        char to[PATH_MAX];
        const ssize_t n = ::readlink(name.constData(), to, sizeof to);
        if (links == kMaxLinks || n < 0 || n == ssize_t(sizeof to)) {
            t.error = systemReason(n < 0 ? errno : links == kMaxLinks ? ELOOP : ENAMETOOLONG);
            return t;
        }
        // A relative link counts from the folder it stands in.
        const QString next = QFile::decodeName(QByteArray(to, n));
        t.path = QFileInfo(next).isAbsolute() ? next : QFileInfo(t.path).absolutePath() + QLatin1Char('/') + next;
    }
}

// Why `t` could not be written into `folder`, empty when it could.
QString whyNot(const Target &t, const QString &folder)
{
    if (!t.error.isEmpty())
        return t.error;
    if (t.exists) {
        if (const QString what = notAFile(t.st.st_mode); !what.isEmpty())
            return what;
    }
    const QByteArray dir = QFile::encodeName(folder);
    struct stat st {};
    if (::stat(dir.constData(), &st) != 0 && errno != ENOENT && errno != ENOTDIR)
        return systemReason(errno);
    if (!S_ISDIR(st.st_mode))
        return QStringLiteral("the folder %1 does not exist").arg(QDir::toNativeSeparators(folder));
    // The rename needs the folder; a file of one's own that is read-only
    // was meant to stay as it is.
    if (::access(dir.constData(), W_OK | X_OK) != 0)
        return systemReason(errno);
    if (t.exists && ::access(QFile::encodeName(t.path).constData(), W_OK) != 0)
        return systemReason(errno);
    return {};
}

// Renames `from` over `to` only while `to` is a regular file or nothing.
// Into a free name the rename must not replace whatever appears there in
// the meantime; over a file it replaces the file as it stands.
QString renameInto(const QByteArray &from, const QByteArray &to)
{
    for (int attempt = 0; attempt < 3; ++attempt) {
        struct stat st {};
        const bool exists = ::lstat(to.constData(), &st) == 0;
        if (!exists && errno != ENOENT)
            return systemReason(errno);
        if (exists && !S_ISREG(st.st_mode))
            return notAFile(st.st_mode);
        if (exists ? ::rename(from.constData(), to.constData()) == 0
                   : ::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
            return {};
        // A file system that cannot keep a name free takes the plain rename.
        if (!exists && (errno == EINVAL || errno == ENOSYS))
            return ::rename(from.constData(), to.constData()) == 0 ? QString() : systemReason(errno);
        if (exists || errno != EEXIST)
            return systemReason(errno);
    }
    return systemReason(EEXIST);
}

// Hands a folder's entries to the disk, so that the new name survives a
// power cut as surely as the data under it. Not every system can.
void syncFolder(const QString &folder)
{
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace

ReplaceFile::ReplaceFile(const QString &path) : path_(path) {}

ReplaceFile::~ReplaceFile()
{
    cancel();
}

QString ReplaceFile::check(const QString &path)
{
    const Target t = resolve(path);
    return whyNot(t, QFileInfo(t.path).absolutePath());
}

QString ReplaceFile::open()
{
    cancel();
    const Target t = resolve(path_);
    target_ = t.path;
    folder_ = QFileInfo(target_).absolutePath();
    existed_ = t.exists;
    if (const QString why = whyNot(t, folder_); !why.isEmpty())
        return why;

    // Hidden, beside the target, and a name of its own. A new file is the
    // owner's alone (an export, a report hold host and user names; the
    // umask may take more); one that is to replace another stays private
    // until it has that one's permissions.
    static const char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    const QString stem = folder_ + QStringLiteral("/.") + QFileInfo(target_).fileName().left(80) + QLatin1Char('.');
    for (int attempt = 0; attempt < 100 && fd_ < 0; ++attempt) {
        QString tag;
        for (int i = 0; i < 6; ++i)
            tag += QLatin1Char(kLetters[QRandomGenerator::global()->bounded(int(sizeof kLetters - 1))]);
        scratch_ = stem + tag;
        fd_ = ::open(QFile::encodeName(scratch_).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd_ < 0 && errno != EEXIST)
            break;
    }
    if (fd_ < 0) {
        const int error = errno;
        scratch_.clear();
        return systemReason(error);
    }
    if (existed_) {
        // Owner and group before the mode, since changing them clears the
        // set-id bits; owner and group only where the system allows it
        // (root, or a group one belongs to). Elsewhere, or on a file system
        // without them, the new file is simply one's own.
        const auto bestEffort = [](int) {};
        bestEffort(::fchown(fd_, t.st.st_uid, t.st.st_gid) == 0 ? 0 : ::fchown(fd_, uid_t(-1), t.st.st_gid));
        bestEffort(::fchmod(fd_, t.st.st_mode & 07777));
    }
    if (!file_.open(fd_, QIODevice::WriteOnly | QIODevice::Unbuffered, QFileDevice::DontCloseHandle)) {
        const QString why = file_.errorString();
        cancel();
        return why;
    }
    return {};
}

QString ReplaceFile::commit()
{
    if (fd_ < 0)
        return QStringLiteral("the file was not opened");
    QString why;
    if (file_.error() != QFileDevice::NoError)
        why = file_.errorString();
    file_.close();
    // The data on the disk before the name points at it. A file system
    // that cannot sync says so with EINVAL; that is no failure of the file.
    if (why.isEmpty() && ::fsync(fd_) != 0 && errno != EINVAL && errno != EROFS)
        why = systemReason(errno);
    if (::close(fd_) != 0 && why.isEmpty() && errno != EINTR)
        why = systemReason(errno);
    fd_ = -1;
    if (why.isEmpty())
        why = renameInto(QFile::encodeName(scratch_), QFile::encodeName(target_));
    if (why.isEmpty()) {
        syncFolder(folder_);
        scratch_.clear();
        return {};
    }
    cancel();
    return why;
}

void ReplaceFile::cancel()
{
    if (file_.isOpen())
        file_.close();
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    if (!scratch_.isEmpty())
        ::unlink(QFile::encodeName(scratch_).constData());
    scratch_.clear();
}
