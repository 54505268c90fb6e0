#pragma once
#include <QString>

// A recording is live while the program writing it runs: that program holds
// an exclusive lock on a small file named after the recording, and the
// system drops the lock with the process, however it ends. Another program
// on the same folder asks the lock, never a marker that a crash leaves behind.
class LiveLock
{
public:
    LiveLock() = default;
    LiveLock(const LiveLock &) = delete;
    LiveLock &operator=(const LiveLock &) = delete;
    ~LiveLock() { release(); }

    // Takes the lock for `uuid` in `folder`; false if another process holds
    // it or the file cannot be made.
    bool acquire(const QString &folder, const QString &uuid);
    // Lets go and removes the file (ours: we made it and hold it).
    void release();
    bool held() const { return fd_ >= 0; }
    // Passes the held lock to `other`, which lets go of its own first.
    void handOver(LiveLock &other);

    // Whether some process holds the lock of `uuid` now.
    static bool isLive(const QString &folder, const QString &uuid);
    static QString fileFor(const QString &folder, const QString &uuid);
    // Removes the lock files in `folder` no process holds (left by programs
    // that crashed); their recordings stay in the store.
    static void removeStale(const QString &folder);

private:
    int fd_ = -1;
    QString path_;
};
