#pragma once
#include "record/Annotations.h"

#include <QCommandLineOption>
#include <QList>

class QCommandLineParser;

// --sample ID, --batch ID and --method NAME: the sample both programs
// measure from their start (Recorder::setSample).
namespace sampleopts {

QList<QCommandLineOption> options();
annotation::Sample read(const QCommandLineParser &parser);

} // namespace sampleopts
