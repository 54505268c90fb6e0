#pragma once
#include <QWidget>
#include <array>

class QLabel;
struct LcdMirror;

// The light-blue display mirror (Picture1): twelve fields, the circles
// around the calibration letters and the two rules.
class LcdWidget : public QWidget
{
    Q_OBJECT
public:
    explicit LcdWidget(QWidget *parent = nullptr);
    void render(const LcdMirror &lcd);

protected:
    void paintEvent(QPaintEvent *) override;

private:
    void fitText(std::size_t i);

    std::array<QLabel *, 12> fields_{};
    std::array<bool, 3> circles_{};
};
