// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzzes reading a number from text. Properties: the result is a finite number or the
// overflow error of a conversion, inserting blanks, tabs or line feeds anywhere in the
// text never changes it, the part that number_length reports reads the same, and the
// advice on any text is made without fault.

#include "calculation/number_text.h"
#include "calculation/reading_advice.h"
#include "fuzz_checks.h"
#include "runtime/runtime_error.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <optional>
#include <string>

using namespace quemador;

namespace {

std::optional<double> read(const std::string& text)
{
    try {
        const double value = Val(text);
        FUZZ_REQUIRE(std::isfinite(value));
        return value;
    } catch (const RuntimeError& error) {
        FUZZ_REQUIRE(error.number() == ErrorNumber::overflow);
        FUZZ_REQUIRE(error.source() == ErrorSource::conversion);
        return std::nullopt;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider input(data, size);
    const std::string text = input.ConsumeRandomLengthString(256);
    std::string spaced = text;
    while (input.remaining_bytes() > 0) {
        const auto at = input.ConsumeIntegralInRange<std::size_t>(0, spaced.size());
        spaced.insert(at, 1, input.PickValueInArray({' ', '\t', '\n'}));
    }

    const auto plain = read(text);
    const auto with_blanks = read(spaced);
    FUZZ_REQUIRE(plain.has_value() == with_blanks.has_value());
    if (plain)
        FUZZ_REQUIRE(std::bit_cast<std::uint64_t>(*plain) ==
                     std::bit_cast<std::uint64_t>(*with_blanks));

    const auto number_part = read(text.substr(0, number_length(text)));
    FUZZ_REQUIRE(plain.has_value() == number_part.has_value());
    if (plain)
        FUZZ_REQUIRE(std::bit_cast<std::uint64_t>(*plain) ==
                     std::bit_cast<std::uint64_t>(*number_part));
    (void)text_advice(Input::Temp_stack, text);
    return 0;
}
