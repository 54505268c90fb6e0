#pragma once
#include "chart/ChartLayout.h"

#include <QString>
#include <functional>

struct ChartDecorations;
class ChartPicture;

// The chart as a list of things to draw, in chart units and drawing order,
// for every renderer (the window, PNG, SVG): first the picture's own drawing
// (the traces, decimated to `columnsPerUnit` columns per chart unit, then the
// printed texts), then the decorations, which stand above it as controls do.
struct ChartScene
{
    std::function<void(const double *xy, std::size_t count, unsigned rgb)> polyline;
    std::function<void(double x, double y, double points, unsigned rgb, const QString &text)> print;
    std::function<void(const chartlayout::Segment &s, unsigned rgb, int widthPx)> line;
    std::function<void(const chartlayout::LabelBox &b, unsigned rgb, const QString &text)> label;
};

void walkChart(const ChartDecorations &decor, const ChartPicture &picture, double columnsPerUnit,
               const ChartScene &scene);
// Its two layers: the traces alone, and what stands above them (the printed
// texts, then the decorations). The traces are read from the rows' summary
// wherever it describes a run, in time by pixel columns rather than rows;
// reading every segment gives the same lines and stays for comparison.
enum class TraceRead { Summary, EverySegment };
void walkTraces(const ChartPicture &picture, double columnsPerUnit, const ChartScene &scene,
                TraceRead read = TraceRead::Summary);
void walkOverlay(const ChartDecorations &decor, const ChartPicture &picture, const ChartScene &scene);

// The chart as an SVG document in chart units.
QByteArray chartSvg(const ChartDecorations &decor, const ChartPicture &picture);
