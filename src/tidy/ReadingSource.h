#pragma once
#include <QJsonObject>
#include <QString>

#include <functional>

// The readings an export writes, one object at a time (tidy::reading's),
// so that no writer holds the log: from the recordings store where the rows
// are stored, else built from the table. A writer may walk them twice.
struct ReadingSource
{
    using Take = std::function<bool(const QJsonObject &reading)>;

    int rows = 0;   // how many there are, for progress
    // Hands every reading in order to `take` until it answers false. Empty
    // on success, else why the readings could not be read.
    std::function<QString(const Take &take)> forEach;
    // May be empty; answers false when the user cancelled the export.
    std::function<bool(int done, int total)> progress;
};
