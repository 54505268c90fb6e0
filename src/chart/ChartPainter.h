#pragma once
#include <QSize>
#include <QString>

class QPainter;
struct ChartDecorations;
class ChartPicture;

// Paints the chart into a target of `size` pixels; lines are `lineWidth`
// pixels wide (1 on the screen, 2 in a picture saved at twice the size).
void paintChart(QPainter &p, const QSize &size, double lineWidth, const ChartDecorations &decor,
                const ChartPicture &picture);

// Writes the chart to `path`: ".svg" as SVG in chart units, anything else
// as PNG at twice `windowSize`. Empty on success, else why it failed.
QString saveChart(const QString &path, const QSize &windowSize, const ChartDecorations &decor,
                  const ChartPicture &picture);
