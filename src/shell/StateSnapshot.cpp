#include "shell/StateSnapshot.h"

#include "shell/MainCore.h"

#include <QJsonArray>

namespace {

QJsonArray rowTexts(const FlexGrid &grid, int row)
{
    QJsonArray texts;
    for (int c = 0; c < FlexGrid::kCols; ++c)
        texts.append(grid.TextMatrix(row, c));
    return texts;
}

template <std::size_t N>
QJsonArray captions(const std::array<Label, N> &labels)
{
    QJsonArray a;
    for (const Label &l : labels)
        a.append(l.Caption);
    return a;
}

template <std::size_t N>
QJsonArray shown(const std::array<bool, N> &lines)
{
    QJsonArray a;
    for (bool v : lines)
        a.append(v);
    return a;
}

QJsonValue numberOrNull(const Variant &v)
{
    return v.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(v.toDouble());
}

// The chart: its decorations, its scales, and what was drawn on it since
// `since`: after a clear only what came after the last one.
void chartState(QJsonObject &s, const MainCore &f, const ChartPicture::Mark &since)
{
    const ChartDecorations &d = f.chart;
    s[QLatin1String("axes")] = QJsonObject{
        {QLatin1String("lblY"), captions(d.lblY)}, {QLatin1String("lblX"), captions(d.lblX)},
        {QLatin1String("LblN"), captions(d.LblN)}, {QLatin1String("LineY"), shown(d.LineY)},
        {QLatin1String("LineX"), shown(d.LineX)},  {QLatin1String("LineN"), shown(d.LineN)},
    };
    const ChartPicture &pic = f.Picture4;
    const bool cleared = pic.clearCount() != since.clears;
    s[QLatin1String("cleared")] = cleared;
    QJsonArray drawn;
    const QJsonValue red(QStringLiteral("#ff0000")), blue(QStringLiteral("#0000ff"));
    pic.forEachSegment(cleared ? 0 : since.segments, [&](const SegmentPair &p) {
        drawn.append(QJsonArray{p.x1, p.valueY1, p.x2, p.valueY2, red});
        drawn.append(QJsonArray{p.x1, p.tempY1, p.x2, p.tempY2, blue});
    });
    s[QLatin1String("drawn")] = drawn;
    QJsonArray printed;
    for (const ChartPicture::Text *t : pic.printedSince(cleared ? 0 : since.prints))
        printed.append(QJsonArray{t->x, t->y, t->text, t->points});
    s[QLatin1String("printed")] = printed;
    s[QLatin1String("time_base")] = double(f.m.TimeBase);
    s[QLatin1String("value_scale")] = numberOrNull(f.m.ValueScale);
    s[QLatin1String("temp_scale")] = numberOrNull(f.m.TempScale);
    s[QLatin1String("start_seconds")] = numberOrNull(f.m.StartSeconds);
}

} // namespace

QJsonObject stateSnapshot(const MainCore &f, int writtenRow, const ChartPicture::Mark &since)
{
    const FlexGrid &grid = *f.MSFlexGrid1;
    QJsonObject s;
    s[QLatin1String("title")] = f.Caption;

    QJsonArray lcd;
    for (const Label &l : f.lcd.lblLCD)
        lcd.append(l.Caption);
    s[QLatin1String("lcd")] = lcd;

    QJsonArray circles;
    for (bool shown : f.lcd.Shape1)
        circles.append(shown);
    s[QLatin1String("circles")] = circles;

    QJsonArray panel;
    for (std::size_t i = 0; i < f.panel.Label1.size(); ++i)
        panel.append(QJsonArray{f.panel.Label1[i].Caption, f.panel.Label2[i].Caption, f.panel.Line2[i]});
    s[QLatin1String("panel")] = panel;

    s[QLatin1String("header")] = rowTexts(grid, 0);
    // Only a real data row is spelled out; anything else (0 for "no row",
    // or a row the table no longer has) reads as null.
    if (writtenRow >= 1 && writtenRow < grid.Rows()) {
        s[QLatin1String("row")] = writtenRow;
        s[QLatin1String("cells")] = rowTexts(grid, writtenRow);
    } else {
        s[QLatin1String("row")] = QJsonValue::Null;
        s[QLatin1String("cells")] = QJsonValue::Null;
    }
    s[QLatin1String("grid_row")] = f.m.GridRow;
    s[QLatin1String("rows")] = grid.Rows();
    s[QLatin1String("top_row")] = grid.TopRow();
    // Normally only the newest row is highlighted; should several be, the
    // bottom one is the newest.
    const QList<int> lit = grid.highlightedRows();
    s[QLatin1String("highlight")] = lit.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(lit.last());

    s[QLatin1String("polling")] = f.m.PollingOn;
    s[QLatin1String("poll_timer")] = f.Timer2.isActive();
    s[QLatin1String("poll_command")] = f.m.PollCommand;
    s[QLatin1String("buttons")] = QJsonObject{
        {QLatin1String("clear"), f.enabled.cmdClear},
        {QLatin1String("export"), f.enabled.cmdExport},
        {QLatin1String("std_add"), f.enabled.cmdStdAdd},
    };
    s[QLatin1String("range")] = QJsonObject{
        {QLatin1String("visible"), f.Frame1Visible},
        {QLatin1String("selected"),
         f.Option1Value < 0 ? QJsonValue(QJsonValue::Null) : QJsonValue(f.Option1Value)},
    };
    chartState(s, f, since);
    return s;
}
