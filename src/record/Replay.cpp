#include "record/Replay.h"

#include "link/Decoders.h"
#include "shell/MainCore.h"

#include <QJsonDocument>
#include <QJsonObject>

void replayRecording(MainCore &core, StoredRows &stored, const RecordingInfo &info,
                     const std::function<void(const std::array<QString, 8> &)> &each)
{
    // 1. The settings, decoded again as "Q": a "P" would start a new table.
    if (!stored.lastSettings().isEmpty()) {
        QString frame = stored.lastSettings().value(QStringLiteral("frame")).toString();
        if (frame.startsWith(QLatin1Char('P')))
            frame[0] = QLatin1Char('Q');
        core.m.RxBuffer = frame;
        DecodeSettingsFrame(core);
        core.m.RxBuffer.clear();
    }
    // 2. The rows, and the chart unless they came from the meter's memory.
    core.reloadTable(
        int(info.rows),
        [&stored, &each](int row, std::array<QString, 8> &cells) {
            stored.row(row, cells);
            if (each)
                each(cells);
        },
        stored.cause() != QLatin1String("frame S"));
    // 3. A range other than the layout's own, chosen again as a click would.
    const QJsonObject d = QJsonDocument::fromJson(info.display.toUtf8()).object();
    const int range = d.value(QStringLiteral("range")).toInt(-1);
    if (range >= 0 && range != core.Option1Value && core.Frame1Visible) {
        const bool polling = core.m.PollingOn;
        core.m.PollingOn = true;
        core.Option1_Click(range);
        core.m.PollingOn = polling;
    }
}
