#pragma once
#include "SimFrames.h"

#include <QByteArray>

// The i-th of a run of live pH readings, one a second from 0:00:00 on 1-01 at
// 25.0 °C, three decimals, the value climbing from 7.000 and starting over
// every hundred readings.
inline QByteArray runReading(int i)
{
    sim::LiveReading r;
    r.mode = 1;
    r.decimals = 3;
    r.hour = i / 3600 % 24;
    r.minute = i / 60 % 60;
    r.second = i % 60;
    r.value = 7000 + i % 100;
    return QByteArray::fromStdString(sim::encodeLive(r));
}
