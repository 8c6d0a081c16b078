// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <stdexcept>

namespace quemador {

// The run-time errors a calculation can raise, numbered as the user is shown them.
enum class ErrorNumber {
    overflow = 6,
    division_by_zero = 11,
};

// Where an error arose: converting an input text, or the arithmetic of the model.
// The error report uses it to tell the user what was probably wrong.
enum class ErrorSource {
    conversion,
    arithmetic,
};

// The three readings of a calculation, named after the window's input boxes.
enum class Input {
    O2,
    CO2,
    Temp_stack,
};

// A run-time error: its number, its Spanish description (what()), its source and,
// where known, the input that caused it.
class RuntimeError : public std::runtime_error {
public:
    RuntimeError(ErrorNumber number, ErrorSource source, std::optional<Input> input = std::nullopt);

    // The same error, blamed on an input.
    [[nodiscard]] RuntimeError blaming(Input input) const { return {number_, source_, input}; }

    [[nodiscard]] ErrorNumber number() const noexcept { return number_; }
    [[nodiscard]] ErrorSource source() const noexcept { return source_; }
    [[nodiscard]] std::optional<Input> input() const noexcept { return input_; }

private:
    ErrorNumber number_;
    ErrorSource source_;
    std::optional<Input> input_;
};

} // namespace quemador
