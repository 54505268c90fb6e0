#pragma once
#include <QRect>

// 15 twips are one logical pixel; Qt's high-DPI scaling does the rest.
inline constexpr int px(double twips) { return int(twips / 15.0 + 0.5); }
inline QRect twipRect(int left, int top, int width, int height)
{
    return QRect(px(left), px(top), px(width), px(height));
}
