#include "chart/ChartScene.h"

#include "chart/ChartDecorations.h"
#include "chart/ChartPicture.h"
#include "chart/RunFromSummary.h"
#include "chart/TraceDecimator.h"

#include <vector>

namespace {

// `axisPx`: the width of the first segment, the axis itself; ticks are one
// pixel. The value and temperature axes are two pixels wide, the time axis one.
template <std::size_t N>
void walkLines(const std::array<bool, N> &shown, const std::array<chartlayout::Segment, N> &segs, unsigned rgb,
               int axisPx, const ChartScene &scene)
{
    for (std::size_t i = 0; i < N; ++i)
        if (shown[i])
            scene.line(segs[i], rgb, i == 0 ? axisPx : 1);
}

template <std::size_t N>
void walkLabels(const std::array<Label, N> &labels, const std::array<chartlayout::LabelBox, N> &boxes, unsigned rgb,
                const ChartScene &scene)
{
    for (std::size_t i = 0; i < N; ++i)
        if (labels[i].Visible && !labels[i].Caption.isEmpty())
            scene.label(boxes[i], rgb, labels[i].Caption);
}

} // namespace

void walkTraces(const ChartPicture &picture, double columnsPerUnit, const ChartScene &scene, TraceRead read)
{
    // The traces, run by run: the value trace, then the temperature trace.
    std::vector<std::vector<double>> pieces[2];
    for (const ChartPicture::Run &run : picture.runs()) {
        for (auto &p : pieces)
            p.clear();
        {
            auto keep = [&](int which) {
                return [&pieces, which](const std::vector<TraceDecimator::Point> &pts) {
                    std::vector<double> flat;
                    flat.reserve(pts.size() * 2);
                    for (const auto &p : pts) {
                        flat.push_back(p.x);
                        flat.push_back(p.y);
                    }
                    pieces[which].push_back(std::move(flat));
                };
            };
            TraceDecimator value(columnsPerUnit, keep(0));
            TraceDecimator temp(columnsPerUnit, keep(1));
            if (read != TraceRead::Summary || !feedRunFromSummary(run, value, temp))
                ChartPicture::forEachSegment(run, run.firstIndex, [&](const SegmentPair &s) {
                    value.segment(s.x1, s.valueY1, s.x2, s.valueY2);
                    temp.segment(s.x1, s.tempY1, s.x2, s.tempY2);
                });
        }
        for (const auto &piece : pieces[0])
            scene.polyline(piece.data(), piece.size() / 2, chartlayout::kRed);
        for (const auto &piece : pieces[1])
            scene.polyline(piece.data(), piece.size() / 2, chartlayout::kBlue);
    }
}

void walkOverlay(const ChartDecorations &decor, const ChartPicture &picture, const ChartScene &scene)
{
    // 1. Printed texts.
    for (const auto &t : picture.texts)
        scene.print(t.x, t.y, t.points, t.rgb, t.text);
    // 2. The decorations.
    walkLines(decor.LineY, chartlayout::kLineY, chartlayout::kRed, 2, scene);
    walkLines(decor.LineX, chartlayout::kLineX, 0x000000, 1, scene);
    walkLines(decor.LineN, chartlayout::kLineN, chartlayout::kBlue, 2, scene);
    walkLabels(decor.lblY, chartlayout::kLblY, chartlayout::kRed, scene);
    walkLabels(decor.lblX, chartlayout::kLblX, 0x000000, scene);
    walkLabels(decor.LblN, chartlayout::kLblN, chartlayout::kBlue, scene);
}

void walkChart(const ChartDecorations &decor, const ChartPicture &picture, double columnsPerUnit,
               const ChartScene &scene)
{
    walkTraces(picture, columnsPerUnit, scene);
    walkOverlay(decor, picture, scene);
}
