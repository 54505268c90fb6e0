#pragma once
#include <QWidget>

struct ChartDecorations;
struct ChartPicture;

// The trend chart (Picture4): white, with the axes and labels that are
// currently shown and whatever has been drawn or printed into it.
class ChartWidget : public QWidget
{
    Q_OBJECT
public:
    ChartWidget(const ChartDecorations &decorations, const ChartPicture &picture, QWidget *parent = nullptr);

signals:
    void clicked();

protected:
    void paintEvent(QPaintEvent *) override;
    void mousePressEvent(QMouseEvent *) override;

private:
    const ChartDecorations &decor_;
    const ChartPicture &picture_;
};
