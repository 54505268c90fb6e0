#include "record/EndHow.h"

namespace endhow {
namespace {

struct CauseEnd { const char *cause; const char *how; };

// Whatever else lays a table out (a settings frame "P", an end frame or a
// download's first record on an empty table) makes a new table. (A download
// only lays out an empty table: into one with rows, its records go on in
// the same table, and so in the same recording.)
constexpr CauseEnd kByCause[] = {
    {"Clear", kCleared},
    {"Export", kExport},
};

} // namespace

QString forCause(const QString &cause)
{
    for (const CauseEnd &c : kByCause)
        if (cause == QLatin1String(c.cause))
            return QString::fromLatin1(c.how);
    return QString::fromLatin1(kNewTable);
}

} // namespace endhow
