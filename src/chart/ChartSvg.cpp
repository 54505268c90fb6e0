#include "chart/ChartScene.h"

#include <QByteArray>

namespace {

constexpr double kTwipsPerPoint = 20;
constexpr double kTwipsPerPixel = 15;

QByteArray colour(unsigned rgb)
{
    return QByteArray::number(rgb | 0x1000000u, 16).mid(1).prepend('#');
}

QByteArray num(double v)
{
    return QByteArray::number(v, 'g', 10);
}

QByteArray text(const QString &s)
{
    return s.toHtmlEscaped().toUtf8();
}

// A font size from the layout: 0 stands for the chart's default 8 pt.
double points(double p) { return p > 0 ? p : 8; }

} // namespace

QByteArray chartSvg(const ChartDecorations &decor, const ChartPicture &picture)
{
    using namespace chartlayout;
    QByteArray svg;
    svg += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    svg += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + num(kWidth / kTwipsPerPixel) + "\" height=\""
        + num(kHeight / kTwipsPerPixel) + "\" viewBox=\"0 0 " + num(kWidth) + ' ' + num(kHeight) + "\">\n";
    svg += "<rect width=\"100%\" height=\"100%\" fill=\"#ffffff\"/>\n";

    ChartScene scene;
    // Strokes as wide as on the screen, in the picture's own units: renderers
    // that ignore non-scaling strokes would otherwise draw hairlines.
    scene.polyline = [&](const double *xy, std::size_t n, unsigned rgb) {
        svg += "<polyline fill=\"none\" stroke=\"" + colour(rgb) + "\" stroke-width=\"" + num(kTwipsPerPixel)
            + "\" stroke-linejoin=\"round\" points=\"";
        for (std::size_t i = 0; i < n; ++i) {
            if (i)
                svg += ' ';
            svg += num(xy[2 * i]) + ',' + num(xy[2 * i + 1]);
        }
        svg += "\"/>\n";
    };
    scene.line = [&](const Segment &s, unsigned rgb, int widthPx) {
        svg += "<line x1=\"" + num(s.x1) + "\" y1=\"" + num(s.y1) + "\" x2=\"" + num(s.x2) + "\" y2=\"" + num(s.y2)
            + "\" stroke=\"" + colour(rgb) + "\" stroke-width=\"" + num(widthPx * kTwipsPerPixel) + "\"/>\n";
    };
    // Text stands with its top at the given y: the baseline is about an
    // ascent (0.9 em) lower.
    scene.print = [&](double x, double y, double pt, unsigned rgb, const QString &t) {
        const double size = pt * kTwipsPerPoint;
        svg += "<text x=\"" + num(x) + "\" y=\"" + num(y + 0.9 * size) + "\" font-family=\"sans-serif\" font-size=\""
            + num(size) + "\" fill=\"" + colour(rgb) + "\" xml:space=\"preserve\">" + text(t) + "</text>\n";
    };
    scene.label = [&](const LabelBox &b, unsigned rgb, const QString &t) {
        const double size = points(b.points) * kTwipsPerPoint;
        const char *anchor = b.align == Align::Left ? "start" : b.align == Align::Right ? "end" : "middle";
        const double x = b.align == Align::Left ? b.left : b.align == Align::Right ? b.left + b.width
                                                                                   : b.left + b.width / 2.0;
        svg += "<text x=\"" + num(x) + "\" y=\"" + num(b.top + 0.9 * size) + "\" text-anchor=\"" + anchor
            + "\" font-family=\"Arial, sans-serif\" font-size=\"" + num(size) + "\""
            + (b.bold ? " font-weight=\"bold\"" : "") + " fill=\"" + colour(rgb) + "\">" + text(t) + "</text>\n";
    };
    // One column per chart unit: finer than any screen, so nothing is lost.
    walkChart(decor, picture, 1.0, scene);
    svg += "</svg>\n";
    return svg;
}
