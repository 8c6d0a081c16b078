// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The combustion efficiency model: excess air from the flue-gas oxygen reading, and
// efficiency from the excess air and the stack temperature, with one fixed set of
// correlation coefficients per fuel.

namespace quemador {

// The window-level variables of one calculator window. They start at 0 and keep
// their values from one calculation to the next.
struct WindowState {
    double Valor_O2 = 0.0;         // % vol, oxygen reading
    double Valor_CO2 = 0.0;        // % vol, carbon dioxide reading; no result depends on it
    double Valor_Temp = 0.0;       // °F, stack gas temperature
    double Valor_Eficiencia = 0.0; // %, combustion efficiency
    double Exceso_Aire = 0.0;      // %, excess air
    double Factor_Comb = 0.0;      // fuel factor of the excess-air formula
    double Temp_Limite = 0.0;      // °F, stack temperature at which the efficiency reaches 0
    double Pendiente = 0.0;        // °F per point, negative divisor of the efficiency line
};

// One fuel's correlation coefficients. F1 carries its sign: the oxygen term of the
// fuel factor is subtracted for natural gas and added for fuel oil.
struct Coeficientes_Combustible {
    double F0; // constant term of Factor_Comb
    double F1; // oxygen term of Factor_Comb
    double D0; // constant of the exponent of Pendiente
    double D1; // excess-air slope of that exponent
    double P0; // constant of the exponent of Temp_Limite
    double P1; // excess-air slope of that exponent
};

// clang-format off
inline constexpr Coeficientes_Combustible natural_gas{
    .F0 = 4.5557,  .F1 = -0.026942, .D0 = 1.66403, .D1 = -0.0025767,  .P0 = 3.6226, .P1 = -0.0025225};
inline constexpr Coeficientes_Combustible fuel_oil_no2{
    .F0 = 4.43562, .F1 = 0.010208,  .D0 = 1.66792, .D1 = -0.00277464, .P0 = 3.6432, .P1 = -0.0027073};
// clang-format on

// °F, the temperature of the combustion air that the correlations assume.
inline constexpr double combustion_air_temp = 60.0;

// °C to °F, exact for whole and half degrees, and back.
constexpr double celsius_to_fahrenheit(double celsius) { return celsius * 9.0 / 5.0 + 32.0; }
constexpr double fahrenheit_to_celsius(double fahrenheit)
{
    return (fahrenheit - 32.0) * 5.0 / 9.0;
}

// Runs the model for one fuel on state.Valor_O2 and state.Valor_Temp, setting
// Factor_Comb, Exceso_Aire, Pendiente, Temp_Limite and Valor_Eficiencia in that
// order. Raises a RuntimeError at the first step that has no finite result; the
// variables set by earlier steps keep their new values.
void run_model(const Coeficientes_Combustible& fuel, WindowState& state);

// Rounds to hundredths for display, halves upward: floor(x × 100 + 0.5) / 100.
double Redondeo_Centesimas(double x);

} // namespace quemador
