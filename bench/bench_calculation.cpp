// SPDX-License-Identifier: GPL-3.0-or-later
// Speed of one click and of its parts, beside the floor of the computation: the two
// powers of ten that the model cannot do without.

#include "calculation/calculate_command.h"
#include "calculation/efficiency_model.h"
#include "calculation/number_text.h"

#include <benchmark/benchmark.h>

#include <array>
#include <cmath>
#include <string>

using namespace quemador;

namespace {

// A window that only stores its texts, so that the benchmark measures the command.
class BenchWindow : public CalculatorWindow {
public:
    [[nodiscard]] std::string text(Input box) const override
    {
        return texts[static_cast<std::size_t>(box)];
    }
    void set_text(ResultBox box, std::string_view text) override
    {
        texts[3 + static_cast<std::size_t>(box)] = text;
    }
    [[nodiscard]] bool is_on(OptionButton option) const override
    {
        return (option == OptionButton::Opcion_Gas_Natural) == gas;
    }
    [[nodiscard]] WindowState& state() override { return state_; }

    std::array<std::string, 5> texts{"3.5", "10", "350", " ", ""};
    bool gas = true;

private:
    WindowState state_;
};

void click(benchmark::State& run)
{
    BenchWindow window;
    for (auto _ : run) {
        Calcular_Click(window);
        benchmark::DoNotOptimize(window.texts[4].data());
    }
}
BENCHMARK(click);

// One reading through the model, without a window.
void model(benchmark::State& run)
{
    Reading reading{Fuel::natural_gas, 3.5, std::nullopt, 350.0, {}};
    for (auto _ : run) {
        benchmark::DoNotOptimize(reading);
        benchmark::DoNotOptimize(calculate(reading));
    }
}
BENCHMARK(model);

// The floor: the model's two powers of ten, on the same arguments.
void two_powers(benchmark::State& run)
{
    const double excess_air = 18.74;
    double slope_exponent = 1.66403 - 0.0025767 * excess_air;
    double limit_exponent = 3.6226 - 0.0025225 * excess_air;
    for (auto _ : run) {
        benchmark::DoNotOptimize(slope_exponent);
        benchmark::DoNotOptimize(limit_exponent);
        double slope = std::pow(10.0, slope_exponent);
        double limit = std::pow(10.0, limit_exponent);
        benchmark::DoNotOptimize(slope);
        benchmark::DoNotOptimize(limit);
    }
}
BENCHMARK(two_powers);

void val(benchmark::State& run)
{
    const std::string text = " 350.5";
    for (auto _ : run)
        benchmark::DoNotOptimize(Val(text));
}
BENCHMARK(val);

void str(benchmark::State& run)
{
    double shown = 83.85;
    for (auto _ : run) {
        benchmark::DoNotOptimize(shown);
        benchmark::DoNotOptimize(Str(shown));
    }
}
BENCHMARK(str);

} // namespace

BENCHMARK_MAIN();
