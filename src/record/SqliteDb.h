#pragma once
#include <QByteArray>
#include <QString>

#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

// A thin hold on the SQLite C library: one connection, statements that
// finalize themselves, and failures told with the system's reason ("No space
// left on device") rather than SQLite's summary ("database or disk is full").
class SqliteDb
{
public:
    SqliteDb() = default;
    SqliteDb(const SqliteDb &) = delete;
    SqliteDb &operator=(const SqliteDb &) = delete;
    ~SqliteDb();

    bool open(const QString &path);
    // Opens an existing database for reading only: no byte of it changes and
    // no file is made beside it. A store that a live writer holds (a -wal
    // beside it, in a folder we may write) is read through the write-ahead
    // log so that its committed rows are seen; any other (another user's
    // copy, a read-only disk, a store nobody writes) is read as it lies on
    // the disk ("immutable"), which needs no -wal or -shm file.
    bool openReadOnly(const QString &path);
    // The URI openReadOnly() opens `path` by (SQLITE_OPEN_URI): a second
    // connection to read from makes no file beside the store either.
    static QByteArray readOnlyUri(const QString &path);
    void close();
    bool isOpen() const { return db_ != nullptr; }
    bool exec(const char *sql);
    QString error() const { return error_; }
    // SQLite's primary code of the last failure (SQLITE_BUSY: another
    // program holds the database for a moment; SQLITE_CORRUPT, SQLITE_NOTADB:
    // the file is damaged), 0 when it came from us.
    int code() const { return code_; }
    sqlite3 *handle() const { return db_; }

    // Records the connection's last failure as error(); returns false.
    bool fail();
    // Records `why` as error(); returns false.
    bool refuse(const QString &why)
    {
        error_ = why;
        code_ = 0;
        return false;
    }

private:
    // Opens `path` once ourselves with `probeFlags` (so a refusal is the
    // system's reason), then SQLite's connection by `sqliteName`.
    bool openChecked(const QString &path, int probeFlags, const QByteArray &sqliteName, int sqliteFlags);

    sqlite3 *db_ = nullptr;
    QString error_;
    int code_ = 0;
};

class SqliteStatement
{
public:
    SqliteStatement(SqliteDb &db, const char *sql);
    SqliteStatement(const SqliteStatement &) = delete;
    SqliteStatement &operator=(const SqliteStatement &) = delete;
    ~SqliteStatement();

    bool ok() const { return stmt_ != nullptr; }
    SqliteStatement &bind(int i, qint64 v);
    SqliteStatement &bind(int i, const QString &v);     // NULL for a null QString
    SqliteStatement &bind(int i, const QByteArray &v);  // a blob
    // True for a row; false when done or failed (then db.error() says why,
    // and failed() is true).
    bool step();
    bool failed() const { return failed_; }
    // Runs a statement that returns no rows; false on failure.
    bool run();
    void reset();

    int columns() const;
    qint64 integer(int col) const;
    QString text(int col) const;
    QByteArray blob(int col) const;
    // The column's bytes as SQLite holds them (UTF-8 for a text), without a
    // copy: valid until the next step.
    std::string_view bytes(int col) const;
    bool isNull(int col) const;

private:
    SqliteDb &db_;
    sqlite3_stmt *stmt_ = nullptr;
    bool failed_ = false;
};
