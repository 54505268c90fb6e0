#include "WindowBench.h"

#include "TableDesigns.h"

#include <QChart>
#include <QChartView>
#include <QElapsedTimer>
#include <QImage>
#include <QLineSeries>
#include <QPainter>
#include <QValueAxis>

#include <cstdio>

namespace {

// The benchmark's conductivity values, one a second.
QPointF point(long i) { return QPointF(double(i), 1400 + double(i % 37)); }

double renderMs(QChartView &view, QImage &canvas)
{
    QElapsedTimer t;
    t.start();
    canvas.fill(Qt::white);
    QPainter p(&canvas);
    view.render(&p);
    return t.nsecsElapsed() / 1e6;
}

} // namespace

int qtChartsChild(const std::vector<long> &marks)
{
    auto *series = new QLineSeries;
    auto *chart = new QChart;
    chart->addSeries(series);
    chart->legend()->hide();
    auto *x = new QValueAxis, *y = new QValueAxis;
    y->setRange(1300, 1500);
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    series->attachAxis(x);
    series->attachAxis(y);
    QChartView view(chart);
    view.resize(673, 481);
    QImage canvas(673, 481, QImage::Format_RGB32);
    renderMs(view, canvas);
    const long rssStart = residentBytes();
    long rows = 0;
    for (long mark : marks) {
        // The points up to the mark in one go (appending them one by one
        // redraws at each), then the whole chart and one more point.
        QList<QPointF> points = series->points();
        points.reserve(mark);
        while (rows < mark)
            points.append(point(++rows));
        series->replace(points);
        points = {};
        x->setRange(0, double(rows));
        const double whole = renderMs(view, canvas);
        QElapsedTimer t;
        t.start();
        series->append(point(++rows));
        renderMs(view, canvas);
        const double one = t.nsecsElapsed() / 1e6;
        std::printf("%ld %.2f %.2f %.1f\n", mark, whole, one, double(residentBytes() - rssStart) / double(rows));
        std::fflush(stdout);
    }
    return 0;
}
