#pragma once
#include <QString>
#include <QStringList>

// What reading a long recording back from the store costs, each figure in a
// process of its own so that its peak memory is its own:
//
//   tq800-bench --store-rows N [--store-dir DIR]
//
// makes a recording of N conductivity readings in a scratch folder (or in
// DIR, kept and used again by a later run with the same N) through the core
// and the recorder as the logger runs them, a thousand readings a receive
// tick, left unfinished as a crash leaves it; then lists the store, verifies
// the chain, exports the recording as .csv and .xlsx and writes its report
// as the logger's --recording commands do, restores it in the real window
// (shown offscreen) until the window has painted it, and exports the
// restored table as .csv and .xlsx for comparison. Prints a table, then one line per figure for a script:
//   store N FIGURE SECONDS s CPU cpu-s PEAK MB
// (wall-clock seconds, the processor seconds of the process, its peak
// resident memory).
int storeReadBench(long rows, const QString &keepDir);

// The children: `--store-make DIR N` and `--store-figure DIR ID FIGURE`.
int storeMakeChild(const QString &dir, long rows);
int storeFigureChild(const QString &dir, qint64 id, const QString &figure);
