#pragma once
#include <QImage>
#include <QSize>
#include <QString>

class QPainter;
struct ChartDecorations;
class ChartPicture;

// Paints the chart into a target of `size` pixels; lines are `lineWidth`
// pixels wide (1 on the screen, 2 in a picture saved at twice the size).
void paintChart(QPainter &p, const QSize &size, double lineWidth, const ChartDecorations &decor,
                const ChartPicture &picture);

// What stands above the traces: the printed texts and the decorations.
void paintOverlay(QPainter &p, const QSize &size, double lineWidth, const ChartDecorations &decor,
                  const ChartPicture &picture);

// The traces as an image kept between paints, as the picture's backing
// store: drawn whole after a clear or at a new size, otherwise only extended
// by the segments drawn since, so a repaint after each reading costs the
// same at row 10 as at row 1,000,000.
class TraceImage
{
public:
    const QImage &update(const ChartPicture &picture, const QSize &size, qreal devicePixelRatio);

private:
    QImage image_;
    quint64 clears_ = ~quint64(0);
    qint64 drawn_ = 0;
};

// Writes the chart to `path`: ".svg" as SVG in chart units, anything else
// as PNG at twice `windowSize`, through ReplaceFile (never over what is not
// a regular file). Empty on success, else why it failed.
QString saveChart(const QString &path, const QSize &windowSize, const ChartDecorations &decor,
                  const ChartPicture &picture);
