#pragma once

// The log's table two ways, for the benchmark's side-by-side: ours (the
// compact row store behind a view) and the classic design of such a log, a
// QTableWidget with one item per cell. Both get the same rows, the same
// highlight of the newest row and the same growth and scrolling.
enum class TableDesign { Ours, Classic };

struct TableFigures
{
    double bytesPerRow = 0;   // the process's resident memory per row
    double medianUs = 0;      // one append, over the last thousand
    double p99Us = 0;
    long rows = 0;            // rows appended before the time ran out
};

// The process's resident memory in bytes.
long residentBytes();

// Appends `rows` conductivity rows to a fresh table of that design, or as
// many as `budgetSeconds` allow; run it in a process of its own so the
// resident figure is the table's alone.
TableFigures appendRows(TableDesign design, long rows, double budgetSeconds);
