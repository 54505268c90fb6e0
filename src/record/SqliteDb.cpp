#include "record/SqliteDb.h"

#include <QFile>
#include <QFileInfo>
#include <QUrl>

#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#include <sqlite3.h>

SqliteDb::~SqliteDb()
{
    close();
}

bool SqliteDb::open(const QString &path)
{
    // SQLite tries several files on a failed open and keeps the last errno
    // (often "No such file or directory" on a read-only disk): the file is
    // opened once by us first, so a failure names the system's first reason.
    // The store holds host and user names: the owner's alone (the umask may
    // be stricter still); SQLite gives its -wal and -shm the file's mode.
    return openChecked(path, O_RDWR | O_CREAT, QFile::encodeName(path),
                       SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
}

bool SqliteDb::openReadOnly(const QString &path)
{
    // As above, without creating anything: the system's own reason for a
    // file we may not read.
    return openChecked(path, O_RDONLY, readOnlyUri(path), SQLITE_OPEN_READONLY | SQLITE_OPEN_URI);
}

bool SqliteDb::openChecked(const QString &path, int probeFlags, const QByteArray &sqliteName, int sqliteFlags)
{
    close();
    const int probe = ::open(QFile::encodeName(path).constData(), probeFlags | O_CLOEXEC, 0600);
    if (probe < 0) {
        code_ = 0;
        error_ = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    ::close(probe);
    if (sqlite3_open_v2(sqliteName.constData(), &db_, sqliteFlags | SQLITE_OPEN_NOMUTEX, nullptr) != SQLITE_OK) {
        fail();
        close();
        return false;
    }
    // Extended codes, so that an I/O failure says which one.
    sqlite3_extended_result_codes(db_, 1);
    return true;
}

QByteArray SqliteDb::readOnlyUri(const QString &path)
{
    const QFileInfo file(path);
    const bool live = QFileInfo(path + QStringLiteral("-wal")).size() > 0
        && ::access(QFile::encodeName(file.absolutePath()).constData(), W_OK) == 0;
    return QUrl::fromLocalFile(file.absoluteFilePath()).toEncoded() + (live ? "?mode=ro" : "?mode=ro&immutable=1");
}

void SqliteDb::close()
{
    if (db_)
        sqlite3_close_v2(db_);
    db_ = nullptr;
}

bool SqliteDb::exec(const char *sql)
{
    if (!db_) {
        error_ = QStringLiteral("the store is not open");
        code_ = 0;
        return false;
    }
    if (sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
        return fail();
    return true;
}

bool SqliteDb::fail()
{
    if (!db_) {
        error_ = QStringLiteral("out of memory");
        code_ = 0;
        return false;
    }
    // The system's own words where the failure came from the system: a
    // full disk, a read-only file system, a missing permission.
    const int sys = sqlite3_system_errno(db_);
    const int code = sqlite3_extended_errcode(db_);
    // SQL's own failures (a damaged file, a missing column) keep SQLite's
    // words: the errno then is whatever a system call left behind earlier.
    const int primary = code & 0xff;
    code_ = primary;
    const bool ownWords = primary == SQLITE_CONSTRAINT || primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB
        || primary == SQLITE_ERROR || primary == SQLITE_SCHEMA || primary == SQLITE_MISMATCH;
    if (sys != 0 && !ownWords)
        error_ = QString::fromLocal8Bit(std::strerror(sys));
    else if ((code & 0xff) == SQLITE_FULL)
        error_ = QString::fromLocal8Bit(std::strerror(ENOSPC));
    else if ((code & 0xff) == SQLITE_READONLY)
        error_ = QString::fromLocal8Bit(std::strerror(EROFS));
    else
        error_ = QString::fromUtf8(sqlite3_errmsg(db_));
    return false;
}

SqliteStatement::SqliteStatement(SqliteDb &db, const char *sql) : db_(db)
{
    if (!db.handle() || sqlite3_prepare_v2(db.handle(), sql, -1, &stmt_, nullptr) != SQLITE_OK) {
        db.fail();
        stmt_ = nullptr;
        failed_ = true;
    }
}

SqliteStatement::~SqliteStatement()
{
    sqlite3_finalize(stmt_);
}

SqliteStatement &SqliteStatement::bind(int i, qint64 v)
{
    if (stmt_)
        sqlite3_bind_int64(stmt_, i, v);
    return *this;
}

SqliteStatement &SqliteStatement::bind(int i, const QString &v)
{
    if (!stmt_)
        return *this;
    if (v.isNull()) {
        sqlite3_bind_null(stmt_, i);
    } else {
        const QByteArray u = v.toUtf8();
        sqlite3_bind_text(stmt_, i, u.constData(), int(u.size()), SQLITE_TRANSIENT);
    }
    return *this;
}

SqliteStatement &SqliteStatement::bind(int i, const QByteArray &v)
{
    if (stmt_)
        sqlite3_bind_blob(stmt_, i, v.constData(), int(v.size()), SQLITE_TRANSIENT);
    return *this;
}

bool SqliteStatement::step()
{
    if (!stmt_)
        return false;
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW)
        return true;
    if (rc != SQLITE_DONE) {
        failed_ = true;
        db_.fail();
    }
    return false;
}

bool SqliteStatement::run()
{
    step();
    const bool good = !failed_;
    reset();
    return good;
}

void SqliteStatement::reset()
{
    if (stmt_) {
        failed_ = false;
        sqlite3_reset(stmt_);
        sqlite3_clear_bindings(stmt_);
    }
}

int SqliteStatement::columns() const
{
    return stmt_ ? sqlite3_column_count(stmt_) : 0;
}

qint64 SqliteStatement::integer(int col) const
{
    return sqlite3_column_int64(stmt_, col);
}

QString SqliteStatement::text(int col) const
{
    const auto *p = reinterpret_cast<const char *>(sqlite3_column_text(stmt_, col));
    return p ? QString::fromUtf8(p, sqlite3_column_bytes(stmt_, col)) : QString();
}

QByteArray SqliteStatement::blob(int col) const
{
    const auto *p = static_cast<const char *>(sqlite3_column_blob(stmt_, col));
    return p ? QByteArray(p, sqlite3_column_bytes(stmt_, col)) : QByteArray();
}

std::string_view SqliteStatement::bytes(int col) const
{
    const auto *p = static_cast<const char *>(sqlite3_column_blob(stmt_, col));
    return p ? std::string_view(p, std::size_t(sqlite3_column_bytes(stmt_, col))) : std::string_view();
}

bool SqliteStatement::isNull(int col) const
{
    return sqlite3_column_type(stmt_, col) == SQLITE_NULL;
}
