#include "record/SampleOptions.h"

#include <QCommandLineParser>

namespace sampleopts {

QList<QCommandLineOption> options()
{
    return {{QStringLiteral("sample"), QStringLiteral("The sample measured from the start."), QStringLiteral("NAME")},
            {QStringLiteral("batch"), QStringLiteral("With --sample: its batch."), QStringLiteral("NAME")},
            {QStringLiteral("method"), QStringLiteral("With --sample: the method."), QStringLiteral("NAME")}};
}

annotation::Sample read(const QCommandLineParser &parser)
{
    return {parser.value(QStringLiteral("sample")).trimmed(), parser.value(QStringLiteral("batch")).trimmed(),
            parser.value(QStringLiteral("method")).trimmed()};
}

} // namespace sampleopts
