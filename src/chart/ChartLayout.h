#pragma once
#include <array>

// Where the chart's fixed decorations stand inside Picture4 (chart units =
// twips from the top-left corner). Data for the widget.
namespace chartlayout {

inline constexpr int kWidth = 10095;
inline constexpr int kHeight = 7215;

struct Segment { int x1, y1, x2, y2; };
enum class Align { Left, Centre, Right };
struct LabelBox { int left, top, width, height; Align align; double points; bool bold; };

inline constexpr unsigned kRed = 0xFF0000;    // 0xRRGGBB
inline constexpr unsigned kBlue = 0x0000FF;

inline constexpr std::array<Segment, 5> kLineY{{
    {500, 0, 500, 7120}, {600, 5000, 500, 5000}, {600, 3510, 500, 3510}, {600, 2010, 500, 2010}, {600, 500, 500, 500}}};
inline constexpr std::array<Segment, 6> kLineX{{
    {0, 6500, 10000, 6500}, {2000, 6500, 2000, 6400}, {3500, 6500, 3500, 6400},
    {5000, 6400, 5000, 6500}, {6500, 6400, 6500, 6500}, {8000, 6400, 8000, 6500}}};
inline constexpr std::array<Segment, 5> kLineN{{
    {9500, 0, 9500, 7200}, {9500, 5000, 9600, 5000}, {9500, 3500, 9600, 3500}, {9500, 2000, 9600, 2000}, {9500, 500, 9600, 500}}};

// 0 means the chart's default font size (8 pt).
inline constexpr std::array<LabelBox, 6> kLblY{{
    {0, 6280, 435, 255, Align::Right, 0, false}, {0, 4900, 465, 255, Align::Right, 0, false},
    {0, 3400, 465, 255, Align::Right, 0, false}, {0, 1900, 465, 255, Align::Right, 0, false},
    {0, 405, 465, 255, Align::Right, 10.5, false}, {720, 120, 1695, 375, Align::Left, 15.75, true}}};
inline constexpr std::array<LabelBox, 8> kLblX{{
    {480, 6550, 975, 255, Align::Centre, 10.5, false}, {1560, 6555, 975, 255, Align::Centre, 10.5, false},
    {3000, 6555, 975, 255, Align::Centre, 10.5, false}, {4560, 6555, 975, 255, Align::Centre, 10.5, false},
    {6000, 6555, 975, 255, Align::Centre, 10.5, false}, {7440, 6555, 975, 255, Align::Centre, 10.5, false},
    {8520, 6555, 975, 255, Align::Centre, 10.5, false}, {8880, 6255, 615, 255, Align::Centre, 10.5, false}}};
inline constexpr std::array<LabelBox, 6> kLblN{{
    {9600, 6240, 375, 255, Align::Left, 10.5, false}, {9600, 4905, 375, 255, Align::Left, 10.5, false},
    {9600, 3405, 375, 255, Align::Left, 10.5, false}, {9600, 1905, 375, 255, Align::Left, 10.5, false},
    {9600, 405, 375, 255, Align::Left, 10.5, false}, {9600, 120, 345, 360, Align::Left, 15.75, false}}};

} // namespace chartlayout
