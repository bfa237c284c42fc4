#pragma once

// The bar while the engine is awaited: from 0.04 along a 90-second line,
// never past 0.95 before the engine answers.
constexpr double curvaEspera(double segundos) {
    const double v = segundos / 90.0 * 0.9 + 0.04;
    return v < 0.95 ? v : 0.95;
}
