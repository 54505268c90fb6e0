#include "chart/TimeText.h"
#include "shell/MainCore.h"

// TimeText to TimeSeconds; a text that is not a time leaves TimeSeconds as it
// was, so the caller reuses the time before.
void MainCore::HhMmSs_Ss()
{
    if (const auto t = parseTimeText(m.TimeText))
        m.TimeSeconds = *t;
}
