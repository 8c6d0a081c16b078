#include "cli/reading.h"

namespace quemador::cli {
namespace {

std::string failure_text(const RuntimeError& error)
{
    std::string text = std::string("no se puede calcular: ") + error.what() + " (error " +
        std::to_string(static_cast<int>(error.number())) + ")";
    if (error.source() == ErrorSource::arithmetic)
        text += ". " + std::string(model_error_hint(error.input().value_or(Input::O2)));
    return text;
}

} // namespace

void evaluate(const Reading& reading, Outcome& out, const AdviceStyle& style)
{
    out.outside_model = false;
    out.results.reset();
    out.excess_air.clear();
    out.efficiency.clear();
    out.failure.clear();
    out.advice.clear();
    try {
        out.results = calculate(reading);
        out.outside_model = !within_model(reading, *out.results);
        // Rounding to hundredths overflows, as in the window, for a result too large.
        out.excess_air = shown_result(out.results->excess_air);
        out.efficiency = shown_result(out.results->efficiency);
    } catch (const RuntimeError& error) {
        out.failure = failure_text(error);
        return;
    }
    for (auto& item : reading_advice(reading, *out.results, style))
        out.advice.push_back(std::move(item.message));
}

} // namespace quemador::cli
