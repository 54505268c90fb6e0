#pragma once
#include <QFile>
#include <QString>

// Writes a file under a scratch name beside it and renames it into place
// only when it is complete: a file of that name is never left half-written,
// and one already there stays as it was when the writing fails.
//
// Only a regular file is ever replaced. A target that is a folder, a device,
// a FIFO or a socket is refused before anything is written, and once more
// just before the rename, since it may have appeared meanwhile: renaming
// over /dev/null would leave the system a regular file where its device was.
// A symbolic link is followed to the file it names, and that file is
// replaced: the link stays a link. A replaced file keeps its permission bits
// and, where the system allows, its owner and group.
//
// Every reason is in words for the user, the system's own where it gave one
// ("Permission denied", "No space left on device").
class ReplaceFile
{
public:
    explicit ReplaceFile(const QString &path);
    ~ReplaceFile();   // a scratch file not committed is removed
    ReplaceFile(const ReplaceFile &) = delete;
    ReplaceFile &operator=(const ReplaceFile &) = delete;

    // Why `path` could not be written by this class, empty when it could;
    // nothing is created. For checking a target long before it is written.
    static QString check(const QString &path);

    // Creates the scratch file, open unbuffered for writing (so a failing
    // write shows at once, with its reason). Empty on success, else why not.
    QString open();
    QFile &file() { return file_; }
    // The scratch file's own name, for a writer that can only write to a
    // file it opens by name.
    QString scratchName() const { return scratch_; }
    // The folder the file lands in: scratch files of a writer's own belong
    // there too, on the disk that must hold the result anyway.
    QString folder() const { return folder_; }

    // Puts the complete file in place. Empty on success; else why not, and
    // the scratch file is gone.
    QString commit();
    // Drops the scratch file; the target stays as it was.
    void cancel();

private:
    QString path_;
    QString target_;   // path_ with symbolic links followed
    QString folder_;
    QString scratch_;
    QFile file_;
    int fd_ = -1;
    bool existed_ = false;
};
