#pragma once
#include "chart/ChartPicture.h"

#include <QJsonObject>

class MainCore;

// Everything a user could read off the main window at this moment, as one
// JSON object: title, display mirror, settings panel, table position, the
// polling state and the buttons. The headless logger prints one per event,
// so a script can follow a session without a screen.
//
// `writtenRow` is the data row the caller wants spelled out in "row" and
// "cells" (the row a frame just wrote); 0 gives null for both. The chart's
// "cleared", "drawn" and "printed" tell what happened to the chart picture
// since `since` (a mark the caller took at the end of the previous event).
QJsonObject stateSnapshot(const MainCore &f, int writtenRow, const ChartPicture::Mark &since = {});
