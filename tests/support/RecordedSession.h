#pragma once
#include "record/Recorder.h"
#include "support/FakeMeter.h"
#include "support/Readings.h"

// A session: a core on a fake port with a recorder on `folder`, logging
// readings `from` to `to` (runReading), one receive tick each.
struct Session
{
    Bench b;
    Recorder rec;
    explicit Session(const QString &folder) : rec(b.core, folder) {}
    void log(int from, int to)
    {
        for (int i = from; i <= to; ++i)
            b.feed(runReading(i));
    }
};
