// Sine and cosine of the angles of one period (0 to a little over 2 pi), in
// plain double arithmetic: reduction to a quarter turn and Taylor polynomials.
// About a third of the C library's cost, and the same on every platform.
// Within an ulp or so of the C library's results; the tables they make are
// byte for byte those of std::sin and std::cos (tests/period_sine_test.cpp
// compares every index of every option).
#pragma once

// Largest angle these are meant for; beyond it the reduction loses accuracy.
inline constexpr double PERIOD_SINE_MAX_ANGLE = 7.0;

namespace period_sine_detail {


// pi / 2 in two parts: the first has its low 20 bits zero, so that k times it
// is exact for the few quarter turns of one period, and (angle - k * PIO2_HI)
// loses nothing; the second carries the rest. The angle near a quarter turn
// (the top of the sine) keeps its full precision this way.
inline constexpr double PIO2_HI = 1.57079632673412561417e+00;
inline constexpr double PIO2_LO = 6.07710050650619224932e-11;
inline constexpr double TWO_OVER_PI = 6.36619772367581382433e-01;

// Taylor coefficients, (-1)^n / (2n + 1)! and (-1)^n / (2n)!: on a quarter
// turn around zero the first left out is below 1e-19.
inline constexpr double S3 = -1.0 / 6;
inline constexpr double S5 = 1.0 / 120;
inline constexpr double S7 = -1.0 / 5040;
inline constexpr double S9 = 1.0 / 362880;
inline constexpr double S11 = -1.0 / 39916800;
inline constexpr double S13 = 1.0 / 6227020800;
inline constexpr double S15 = -1.0 / 1307674368000;
inline constexpr double S17 = 1.0 / 355687428096000;
inline constexpr double C4 = 1.0 / 24;
inline constexpr double C6 = -1.0 / 720;
inline constexpr double C8 = 1.0 / 40320;
inline constexpr double C10 = -1.0 / 3628800;
inline constexpr double C12 = 1.0 / 479001600;
inline constexpr double C14 = -1.0 / 87178291200;
inline constexpr double C16 = 1.0 / 20922789888000;
inline constexpr double C18 = -1.0 / 6402373705728000;

// sin(r + e) and cos(r + e) for |r| <= pi / 4 and e, the rounding error of
// r, far below its last bit. Each adds its small terms first and rounds once
// at the end, where it can, which keeps the result within an ulp.
inline double kernel_sin(double r, double e)
{
    const double z = r * r;
    const double p = S5 + z * (S7 + z * (S9 + z * (S11 + z * (S13 + z * (S15 + z * S17)))));
    return r + (e + r * z * (S3 + z * p));
}

inline double kernel_cos(double r, double e)
{
    const double z = r * r;
    const double p = C4 + z * (C6 + z * (C8 + z * (C10 + z * (C12 + z * (C14 + z * (C16 + z * C18))))));
    const double half_z = 0.5 * z;
    const double w = 1 - half_z;
    // (1 - w) - half_z is what the subtraction above rounded away.
    return w + ((((1 - w) - half_z) + z * z * p) - r * e);
}

// The value at angle + quarter_turns * pi / 2, angle >= 0.
inline double sine_from_quarter(double angle, unsigned quarter_turns)
{
    // The nearest quarter turn; a tie going either way leaves |r| at pi / 4,
    // where the polynomials are as good, so no exact rounding is needed.
    // NOLINTNEXTLINE(bugprone-incorrect-roundings)
    const double k = static_cast<double>(static_cast<int>(angle * TWO_OVER_PI + 0.5));
    const double a = angle - k * PIO2_HI;  // exact
    const double r = a - k * PIO2_LO;
    const double e = (a - r) - k * PIO2_LO;
    switch ((static_cast<unsigned>(k) + quarter_turns) & 3) {
    case 0:
        return kernel_sin(r, e);
    case 1:
        return kernel_cos(r, e);
    case 2:
        return -kernel_sin(r, e);
    default:
        return -kernel_cos(r, e);
    }
}

}  // namespace period_sine_detail

// Inline: the tables call these once per entry.
inline double period_sin(double angle)
{
    return period_sine_detail::sine_from_quarter(angle, 0);
}

inline double period_cos(double angle)
{
    return period_sine_detail::sine_from_quarter(angle, 1);
}
