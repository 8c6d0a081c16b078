// SPDX-License-Identifier: GPL-3.0-or-later
#include "calculation/net_efficiency.h"

#include "calculation/reading_advice.h"
#include "runtime/arithmetic.h"

namespace quemador {

using namespace arithmetic;

double net_efficiency(Fuel fuel, double o2, double flue_c, double air_c)
{
    constexpr double oxygen_term_base = 21.0; // % vol, the oxygen of the air in the formula
    const FuelFacts& facts_of_fuel = facts(fuel);
    const double loss_per_degree =
        sum(quotient(facts_of_fuel.siegert_a2, difference(oxygen_term_base, o2)),
            facts_of_fuel.siegert_b);
    return difference(100.0, product(difference(flue_c, air_c), loss_per_degree));
}

Results corrected_gross(const Reading& reading, double air_f)
{
    Reading corrected = reading;
    corrected.temp_f = reading.temp_f - air_f + combustion_air_temp;
    return calculate(corrected);
}

double co_air_free(double co_ppm, double o2)
{
    return quotient(product(co_ppm, oxygen_in_air), difference(oxygen_in_air, o2));
}

double air_ratio(double o2) { return quotient(oxygen_in_air, difference(oxygen_in_air, o2)); }

double fuel_saving(double efficiency_now, double efficiency_target)
{
    return product(difference(1.0, quotient(efficiency_now, efficiency_target)), 100.0);
}

} // namespace quemador
