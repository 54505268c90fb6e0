#pragma once
#include <QString>

class MainCore;

// The family pages of a settings frame. Each runs after the common steps have
// emptied the panel, cleared the marks and disabled Std-Add; `page` is bits
// 14..0 of field 2.
namespace settings {

void phPage(MainCore &f, int page);
void mvPage(MainCore &f, int page);
void isePage(MainCore &f, int page);
void condPage(MainCore &f, int page);
void doPage(MainCore &f, int page);

// Shared by the pages: a panel row with its rule shown.
void setRow(MainCore &f, int row, const QString &caption, const QString &value);
// The meter's timer in row `row`: "Timer:" "OFF", or "Timer :" m:ss.
void timerRow(MainCore &f, int row);
// The calibration letters L, M, H with their circles.
void setMarks(MainCore &f, bool low, bool middle, bool high);

// Field k of a settings frame starts at character 4k - 2.
constexpr int fieldPos(int k) { return 4 * k - 2; }

} // namespace settings
