// SPDX-License-Identifier: GPL-3.0-or-later
#include "calculation/efficiency_model.h"

#include "runtime/arithmetic.h"

#include <cmath>

namespace quemador {

using namespace arithmetic;

void run_model(const Coeficientes_Combustible& fuel, WindowState& state)
{
    const double o2 = state.Valor_O2;

    // Adding the signed F1 term is bit for bit the same as subtracting its magnitude.
    state.Factor_Comb = sum(fuel.F0, product(o2, fuel.F1));

    const double numerator = product(o2, state.Factor_Comb);
    const double denominator = difference(1.0, product(o2, 0.0476));
    state.Exceso_Aire = quotient(numerator, denominator);

    const double excess_air = state.Exceso_Aire;
    state.Pendiente = -power(10.0, sum(fuel.D0, product(excess_air, fuel.D1)));
    state.Temp_Limite = power(10.0, sum(fuel.P0, product(excess_air, fuel.P1)));

    const double reciprocal = quotient(1.0, state.Pendiente);
    state.Valor_Eficiencia = product(difference(state.Valor_Temp, state.Temp_Limite), reciprocal);
}

double Redondeo_Centesimas(double x)
{
    return quotient(std::floor(sum(product(x, 100.0), 0.5)), 100.0);
}

} // namespace quemador
