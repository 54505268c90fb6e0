#pragma once
#include <QtGlobal>

// Where a reading lands on the chart, in chart units (twips from the top-left
// corner of the chart, y downward). Pure arithmetic; the procedures that
// draw decide which numbers go in.
namespace chartmap {

inline constexpr double kOriginX = 500;      // time origin, the left value axis
inline constexpr double kStepX = 300;        // chart units per time step
inline constexpr int kSteps = 30;            // steps to the right axis (x 9500)
inline constexpr double kBottom = 6500;
inline constexpr double kMiddle = 3500;
inline constexpr double kTop = 500;
inline constexpr qint64 kDay = 86400;

// The unit text of a conductivity cell.
enum class CondUnit : quint8 { None, MilliS, MicroS };

// How the main value goes up the chart, by meter family.
enum class ValueMap : quint8 {
    Plain,      // 0 at the bottom: pH, DO and any unknown family
    Potential,  // 0 mV in the middle
    Ion,        // pX 0 at the top, the axis runs downward
    Cond,       // microsiemens, from the cell's unit
};

// How the temperature goes up the chart.
enum class TempMap : quint8 {
    Scaled,     // degrees Celsius times the table's temperature scale
    CondRange,  // the range buttons' own fixed 0..50 degC scale
};

ValueMap valueMapForFamily(double family);
// The column a chart reads the temperature from: the table's temperature
// column for families 0..4, the number column 0 for any other family.
int chartTempColumn(double family);

// x of a time t seconds after midnight (already moved past midnight), with
// the origin at `start` and `timeBase` seconds per step.
inline double timeX(qint64 t, qint64 start, qint64 timeBase)
{
    return kOriginX + double(t - start) * kStepX / double(timeBase);
}
inline double timeSteps(qint64 t, qint64 start, qint64 timeBase)
{
    return double(t - start) / double(timeBase);
}

double valueY(ValueMap map, double valueScale, double v, CondUnit unit);
double tempY(TempMap map, double tempScale, double v, bool celsius);

} // namespace chartmap
