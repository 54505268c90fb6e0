#pragma once
#include <optional>

// The method of two known additions: the sample's potential E1, then E2
// after adding V1 of a standard of concentration Cs, then E3 after a further
// V2. Volumes in any one unit, potentials in mV; Cx comes out in Cs's unit.
struct StdAddInputs
{
    double Vx = 0, E1 = 0, Cs = 0, V1 = 0, E2 = 0, V2 = 0, E3 = 0;
};

// Cx, estimating the electrode's slope from the two additions at the same
// time: 21 rounds from Cx = 0, no convergence test. Nothing when any step
// fails arithmetically (a division by zero, a logarithm of zero or of a
// negative number, an overflow, a result that is not a number).
std::optional<double> standardAddition(const StdAddInputs &in);
