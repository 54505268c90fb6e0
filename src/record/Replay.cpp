#include "record/Replay.h"

#include "link/Decoders.h"
#include "shell/MainCore.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace replay {

void settings(MainCore &core, const QJsonObject &settingsEvent)
{
    if (settingsEvent.isEmpty())
        return;
    QString frame = settingsEvent.value(QStringLiteral("frame")).toString();
    if (frame.startsWith(QLatin1Char('P')))
        frame[0] = QLatin1Char('Q');
    core.m.RxBuffer = frame;
    DecodeSettingsFrame(core);
    core.m.RxBuffer.clear();
}

void begin(MainCore &core, const std::vector<int> &gaps)
{
    core.beginReload();
    for (int row : gaps)
        core.markChartGap(row);
}

bool drawsChart(StoredRows &stored)
{
    return stored.cause() != QLatin1String("frame S");
}

void range(MainCore &core, const RecordingInfo &info)
{
    const QJsonObject d = QJsonDocument::fromJson(info.display.toUtf8()).object();
    const int range = d.value(QStringLiteral("range")).toInt(-1);
    if (range >= 0 && range != core.Option1Value && core.Frame1Visible) {
        const bool polling = core.m.PollingOn;
        core.m.PollingOn = true;
        core.Option1_Click(range);
        core.m.PollingOn = polling;
    }
}

} // namespace replay

void replayRecording(MainCore &core, StoredRows &stored, const RecordingInfo &info,
                     const std::function<void(const std::array<QString, 8> &)> &each)
{
    // 1. The settings.
    replay::settings(core, stored.lastSettings());
    // 2. The rows, and the chart unless they came from the meter's memory.
    replay::begin(core, stored.gaps());
    core.reloadRows(
        int(info.rows),
        [&stored, &each](int row, std::array<QString, 8> &cells) {
            stored.row(row, cells);
            if (each)
                each(cells);
        },
        replay::drawsChart(stored));
    core.endReload();
    // 3. The range.
    replay::range(core, info);
}
