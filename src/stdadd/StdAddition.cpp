#include "stdadd/StdAddition.h"

#include <cmath>

namespace {

// Arithmetic that refuses instead of producing infinities and NaNs.
struct Checked
{
    bool ok = true;

    double check(double v)
    {
        if (!std::isfinite(v))
            ok = false;
        return v;
    }
    double div(double a, double b)
    {
        if (b == 0) {
            ok = false;
            return 0;
        }
        return check(a / b);
    }
    double log10(double a)
    {
        if (!(a > 0)) {
            ok = false;
            return 0;
        }
        return check(std::log10(a));
    }
    double pow10(double x) { return check(std::pow(10.0, x)); }
};

constexpr int kRounds = 21;

} // namespace

std::optional<double> standardAddition(const StdAddInputs &in)
{
    Checked m;
    double cx = 0;
    for (int round = 0; round < kRounds && m.ok; ++round) {
        // 1. The concentration after the first addition, by the estimate.
        const double c1 = m.div(m.check(cx * in.Vx + in.Cs * in.V1), m.check(in.Vx + in.V1));
        // 2. After the second.
        const double c2 = m.div(m.check(cx * in.Vx + in.Cs * (in.V1 + in.V2)), m.check(in.Vx + in.V1 + in.V2));
        // 3. The slope per decade, sign reversed.
        const double s = m.div(m.check(in.E3 - in.E2), m.check(m.log10(c1) - m.log10(c2)));
        // 4. The known-addition formula for the first addition.
        const double added = m.div(in.Cs * in.V1, m.check(in.Vx + in.V1));
        const double dilution = m.div(in.Vx, m.check(in.Vx + in.V1));
        cx = m.div(added, m.check(m.pow10(m.div(in.E1 - in.E2, s)) - dilution));
        if (!m.ok)
            break;
    }
    if (!m.ok)
        return std::nullopt;
    return cx;
}
