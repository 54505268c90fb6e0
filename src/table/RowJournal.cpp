#include "table/RowJournal.h"

#include "table/FlexGrid.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

namespace {

// A recording still open has this marker file beside it.
const QString kOpenSuffix = QStringLiteral(".open");
constexpr int kSyncMs = 1000;

} // namespace

RowJournal::RowJournal(const FlexGrid &grid, const QString &folder, QObject *parent)
    : QObject(parent), grid_(grid), folder_(folder)
{
    syncTimer_.setInterval(kSyncMs);
    connect(&syncTimer_, &QTimer::timeout, this, &RowJournal::sync);
}

RowJournal::~RowJournal()
{
    sync();
}

QString RowJournal::defaultFolder()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation))
        .filePath(QStringLiteral("journal"));
}

bool RowJournal::startRecording()
{
    sync();
    csv_.close();
    current_.clear();
    if (!QDir().mkpath(folder_)) {
        error_ = QStringLiteral("cannot create the folder %1").arg(folder_);
        return false;
    }
    // Named by the start time; a second recording within the same second
    // gets a number.
    const QString stem = now().toString(QStringLiteral("yyyy-MM-dd_HH-mm-ss"));
    QString path = QDir(folder_).filePath(stem + QStringLiteral(".csv"));
    for (int n = 2; QFile::exists(path); ++n)
        path = QDir(folder_).filePath(QStringLiteral("%1_%2.csv").arg(stem).arg(n));
    QFile marker(path + kOpenSuffix);
    if (!marker.open(QIODevice::WriteOnly) || !csv_.open(path)) {
        error_ = QStringLiteral("cannot write %1: %2").arg(path, csv_.isOpen() ? marker.errorString() : csv_.errorString());
        return false;
    }
    current_ = path;
    syncTimer_.start();
    return true;
}

bool RowJournal::appendRow(int row)
{
    if ((row == 1 || !csv_.isOpen()) && !startRecording())
        return false;
    QStringList header, cells;
    for (int c = 0; c < FlexGrid::kCols; ++c) {
        header << grid_.TextMatrix(0, c);
        cells << grid_.TextMatrix(row, c);
    }
    header << QStringLiteral("Received");
    const QDateTime received = now();
    cells << received.toOffsetFromUtc(received.offsetFromUtc()).toString(Qt::ISODate);
    if (!csv_.appendRow(header, cells)) {
        error_ = QStringLiteral("cannot write %1: %2").arg(current_, csv_.errorString());
        return false;
    }
    dirty_ = true;
    return true;
}

void RowJournal::sync()
{
    if (dirty_ && csv_.isOpen())
        csv_.sync();
    dirty_ = false;
}

void RowJournal::closeRecording()
{
    sync();
    csv_.close();
    syncTimer_.stop();
    if (!current_.isEmpty())
        QFile::remove(current_ + kOpenSuffix);
    current_.clear();
}

QStringList RowJournal::unfinished(const QString &folder)
{
    QStringList files;
    const QDir dir(folder);
    for (const QString &m : dir.entryList({QStringLiteral("*.csv") + kOpenSuffix}, QDir::Files, QDir::Name)) {
        const QString csv = dir.filePath(m.chopped(kOpenSuffix.size()));
        if (QFile::exists(csv))
            files << csv;
        else
            QFile::remove(dir.filePath(m));
    }
    return files;
}

void RowJournal::forget(const QStringList &files)
{
    for (const QString &f : files)
        QFile::remove(f + kOpenSuffix);
}
