#include "tidy/ReadingExport.h"

#include "files/ReplaceFile.h"
#include "files/WriteAll.h"
#include "table/CsvLog.h"
#include "text/FixedUnit.h"

#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>

#include <algorithm>
#include <charconv>
#include <vector>

namespace {

const QString kCancelled = QStringLiteral("cancelled");
constexpr int kProgressStep = 4096;
constexpr qsizetype kChunk = 1 << 20;

// Counts readings for the progress reports; false once the user cancelled.
struct Progress
{
    const ReadingSource &source;
    int total;
    int done = 0;
    bool cancelled = false;
    bool step()
    {
        ++done;
        if (source.progress && done % kProgressStep == 0 && !source.progress(std::min(done, total), total))
            cancelled = true;
        return !cancelled;
    }
};

// Writes `chunk` once it is a megabyte or `last`; false when the file refused.
bool spill(QIODevice &out, QByteArray &chunk, bool last)
{
    if (chunk.size() < kChunk && !last)
        return true;
    const bool ok = writeAll(out, chunk);
    chunk.resize(0);
    return ok;
}

// How a writer's walk over the readings ended: the file's refusal first
// (the walk stopped for it), then the store's, then a cancel; else the last
// chunk goes out.
QString outcome(QIODevice &out, QByteArray &chunk, const QString &writeError, const QString &readError,
                const Progress &progress)
{
    if (!writeError.isEmpty())
        return writeError;
    if (!readError.isEmpty())
        return readError;
    if (progress.cancelled)
        return kCancelled;
    return spill(out, chunk, true) ? QString() : out.errorString();
}

QString writeJsonLines(QIODevice &out, const ReadingSource &source)
{
    Progress progress{source, source.rows};
    QByteArray chunk;
    QString writeError;
    const QString readError = source.forEach([&](const QJsonObject &r) {
        chunk += QJsonDocument(r).toJson(QJsonDocument::Compact);
        chunk += '\n';
        if (!spill(out, chunk, false)) {
            writeError = out.errorString();
            return false;
        }
        return progress.step();
    });
    return outcome(out, chunk, writeError, readError, progress);
}

// --- one reading a row ------------------------------------------------------

// A column of numbers: one quantity in one unit. Ordered as the table
// orders its quantities (the value, the derived ones, the temperature),
// units in the order they first appear.
struct NumberColumn
{
    int position;
    QString name, unit;
};

QString key(const QJsonValue &q)
{
    return q[QLatin1String("name")].toString() + QChar(0x1f) + q[QLatin1String("unit")].toString();
}

// Each quantity of a reading with its place among them.
template<typename F>
void forEachQuantity(const QJsonObject &r, F f)
{
    constexpr int kTemperature = 1000;
    if (r.value(QLatin1String("value")).isObject())
        f(0, r.value(QLatin1String("value")));
    const QJsonArray derived = r.value(QLatin1String("derived")).toArray();
    for (int i = 0; i < derived.size(); ++i)
        f(1 + i, derived[i]);
    if (r.value(QLatin1String("temperature")).isObject())
        f(kTemperature, r.value(QLatin1String("temperature")));
}

QByteArray numberText(const QJsonValue &v)
{
    if (!v.isDouble())
        return {};
    char buf[32];
    const auto r = std::to_chars(buf, buf + sizeof buf, v.toDouble());
    return QByteArray(buf, int(r.ptr - buf));
}

QByteArray integerText(const QJsonValue &v)
{
    return v.isDouble() ? QByteArray::number(v.toInteger()) : QByteArray();
}

QByteArray text(const QJsonValue &v)
{
    return v.isString() ? v.toString().toUtf8() : QByteArray();
}

void appendFields(QByteArray &chunk, const std::vector<QByteArray> &fields)
{
    std::vector<std::string_view> views;
    views.reserve(fields.size());
    for (const QByteArray &f : fields)
        views.emplace_back(f.constData(), std::size_t(f.size()));
    CsvLog::appendLine(chunk, views.data(), views.size());
}

const char *const kLeading[] = {"recording", "seq", "row", "time", "received", "source", "mode"};
const char *const kTrailing[] = {"compensation", "settings_seq", "sample", "batch", "method"};

QString writeTidyCsv(QIODevice &out, const ReadingSource &source)
{
    Progress progress{source, 2 * source.rows};
    // 1. Which quantities in which units: the columns.
    std::vector<NumberColumn> columns;
    QHash<QString, int> seen;
    QString readError = source.forEach([&](const QJsonObject &r) {
        forEachQuantity(r, [&](int position, const QJsonValue &q) {
            if (q[QLatin1String("unit")].isNull() && q[QLatin1String("number")].isNull())
                return;
            const QString k = key(q);
            if (seen.contains(k))
                return;
            seen.insert(k, 0);
            columns.push_back({position, q[QLatin1String("name")].toString(), q[QLatin1String("unit")].toString()});
        });
        return progress.step();
    });
    if (!readError.isEmpty())
        return readError;
    if (progress.cancelled)
        return kCancelled;
    std::stable_sort(columns.begin(), columns.end(),
                     [](const NumberColumn &a, const NumberColumn &b) { return a.position < b.position; });
    std::vector<QByteArray> fields;
    for (const char *h : kLeading)
        fields.emplace_back(h);
    for (std::size_t i = 0; i < columns.size(); ++i) {
        seen[columns[i].name + QChar(0x1f) + columns[i].unit] = int(i);
        fields.push_back(asciiColumnName(columns[i].name, columns[i].unit).toUtf8());
    }
    for (const char *h : kTrailing)
        fields.emplace_back(h);
    QByteArray chunk;
    appendFields(chunk, fields);

    // 2. The rows.
    constexpr std::size_t kLead = std::size(kLeading);
    QString writeError;
    readError = source.forEach([&](const QJsonObject &r) {
        fields.assign(kLead + columns.size() + std::size(kTrailing), QByteArray());
        fields[0] = integerText(r.value(QLatin1String("recording")));
        fields[1] = integerText(r.value(QLatin1String("seq")));
        fields[2] = integerText(r.value(QLatin1String("row")));
        fields[3] = text(r.value(QLatin1String("time")));
        fields[4] = text(r.value(QLatin1String("received")));
        fields[5] = text(r.value(QLatin1String("source")));
        fields[6] = text(r.value(QLatin1String("mode")));
        forEachQuantity(r, [&](int, const QJsonValue &q) {
            const auto c = seen.constFind(key(q));
            if (c != seen.constEnd())
                fields[kLead + std::size_t(*c)] = numberText(q[QLatin1String("number")]);
        });
        fields[kLead + columns.size()] = text(r.value(QLatin1String("temperature"))[QLatin1String("compensation")]);
        fields[kLead + columns.size() + 1] = integerText(r.value(QLatin1String("settings_seq")));
        for (std::size_t i = 2; i < std::size(kTrailing); ++i)
            fields[kLead + columns.size() + i] = text(r.value(QLatin1String(kTrailing[i])));
        appendFields(chunk, fields);
        if (!spill(out, chunk, false)) {
            writeError = out.errorString();
            return false;
        }
        return progress.step();
    });
    return outcome(out, chunk, writeError, readError, progress);
}

} // namespace

QString exportReadings(const QString &path, ReadingFormat format, const ReadingSource &source)
{
    ReplaceFile file(path);
    if (const QString why = file.open(); !why.isEmpty())
        return why;
    const QString error = format == ReadingFormat::JsonLines ? writeJsonLines(file.file(), source)
                                                             : writeTidyCsv(file.file(), source);
    if (!error.isEmpty()) {
        file.cancel();
        return error;
    }
    return file.commit();
}
