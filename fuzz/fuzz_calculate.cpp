// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzzes a whole click: three input texts and the fuel choice through Calcular_Click.
// Properties: the only exceptions are the overflow and division-by-zero errors, after
// which both result boxes are empty; otherwise each result is a sign position and at
// most 15 significant digits, and reads back as the number that was rounded for display.

#include "calculation/calculate_command.h"
#include "calculation/number_text.h"
#include "fake_window.h"
#include "fuzz_checks.h"
#include "runtime/runtime_error.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <string>

using namespace quemador;
using ResultBox = CalculatorWindow::ResultBox;

namespace {

int significant_digits(const std::string& mantissa)
{
    int count = 0;
    bool leading = true;
    for (const char c : mantissa) {
        if (c < '0' || c > '9')
            continue;
        leading = leading && c == '0';
        count += leading ? 0 : 1;
    }
    return count;
}

// Significant digits of the shortest text that reads back as x.
int shortest_digits(double x)
{
    std::array<char, 64> buffer{};
    const auto [end, ec] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), x,
                                         std::chars_format::scientific);
    const std::string text(buffer.data(), end);
    return significant_digits(text.substr(0, text.find('e')));
}

void check_result(const std::string& text, double shown)
{
    FUZZ_REQUIRE(text.size() >= 2);
    FUZZ_REQUIRE(text[0] == (shown < 0 ? '-' : ' '));
    const std::string number = text.substr(1);
    FUZZ_REQUIRE(number.find_first_not_of("0123456789.E+-") == std::string::npos);
    FUZZ_REQUIRE(significant_digits(number.substr(0, number.find('E'))) <= 15);

    const double read = Val(text);
    if (shortest_digits(shown) <= 15) {
        FUZZ_REQUIRE(read == shown);
    } else {
        const double unit = std::pow(10.0, std::floor(std::log10(std::abs(shown))) - 14);
        FUZZ_REQUIRE(std::abs(read - shown) <= unit);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider input(data, size);
    FakeWindow window;
    window.choose_gas(input.ConsumeBool());
    window.box(Input::O2) = input.ConsumeRandomLengthString(64);
    window.box(Input::CO2) = input.ConsumeRandomLengthString(64);
    window.box(Input::Temp_stack) = input.ConsumeRemainingBytesAsString();

    try {
        Calcular_Click(window);
    } catch (const RuntimeError& error) {
        FUZZ_REQUIRE(error.number() == ErrorNumber::overflow ||
                     error.number() == ErrorNumber::division_by_zero);
        FUZZ_REQUIRE(window.box(ResultBox::Relacion_AF).empty());
        FUZZ_REQUIRE(window.box(ResultBox::Eficiencia).empty());
        return 0;
    }

    const WindowState& state = window.state();
    check_result(window.box(ResultBox::Relacion_AF), Redondeo_Centesimas(state.Exceso_Aire));
    check_result(window.box(ResultBox::Eficiencia), Redondeo_Centesimas(state.Valor_Eficiencia));
    return 0;
}
