#include "cli/reading.h"

#include "calculation/reading_advice.h"

namespace quemador::cli {
namespace {

std::string failure_text(const RuntimeError& error)
{
    return std::string("no se puede calcular: ") + error.what() + " (error " +
        std::to_string(static_cast<int>(error.number())) + ")";
}

} // namespace

void evaluate(const Reading& reading, Outcome& out)
{
    out.results.reset();
    out.excess_air.clear();
    out.efficiency.clear();
    out.failure.clear();
    out.advice.clear();
    try {
        out.results = calculate(reading);
        // Rounding to hundredths overflows, as in the window, for a result too large.
        out.excess_air = shown_result(out.results->excess_air);
        out.efficiency = shown_result(out.results->efficiency);
    } catch (const RuntimeError& error) {
        out.failure = failure_text(error);
        return;
    }
    for (auto& item : reading_advice(reading, *out.results))
        out.advice.push_back(std::move(item.message));
}

} // namespace quemador::cli
