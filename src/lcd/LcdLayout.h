#pragma once
#include <array>

// Where each mirror field sits inside the panel (twips, relative to the
// panel), its font size and alignment. Data for the widget; nothing here
// changes at run time.
namespace lcd {

enum class Align { Left, Centre, Right };

struct FieldGeometry
{
    int left, top, width, height;
    double points;
    Align align;
};

inline constexpr int kPanelWidth = 4455;
inline constexpr int kPanelHeight = 3375;

inline constexpr std::array<FieldGeometry, 12> kFields{{
    {120, 120, 975, 375, 15.75, Align::Centre},    // 0 mode, white on black
    {1680, 120, 2655, 375, 15.75, Align::Right},   // 1 date and time
    {600, 960, 2175, 735, 36, Align::Right},       // 2 main value
    {2880, 1200, 1455, 495, 24, Align::Left},      // 3 unit
    {1680, 1920, 1815, 495, 24, Align::Right},     // 4 temperature
    {3720, 1800, 450, 285, 14.25, Align::Right},   // 5 MTC
    {3720, 2160, 450, 285, 14.25, Align::Right},   // 6 ATC
    {360, 2730, 165, 315, 15.75, Align::Right},    // 7 L
    {990, 2730, 165, 315, 15.75, Align::Right},    // 8 M
    {1680, 2730, 165, 315, 15.75, Align::Right},   // 9 H
    {3360, 2640, 855, 495, 24, Align::Right},      // 10 record number
    {2880, 720, 855, 375, 18, Align::Left},        // 11 exponent
}};

struct Rect { int left, top, width, height; };

inline constexpr std::array<Rect, 3> kCircles{{
    {120, 2640, 615, 495}, {840, 2640, 495, 495}, {1440, 2640, 615, 495}}};

// The two rules across the panel, from x 0 to 4440.
inline constexpr std::array<int, 2> kRuleY{600, 2520};
inline constexpr int kRuleRight = 4440;

} // namespace lcd
