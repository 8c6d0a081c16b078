#pragma once

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

// A run-time error: its number, its Spanish description (what()) and its source.
class RuntimeError : public std::runtime_error {
public:
    RuntimeError(ErrorNumber number, ErrorSource source);

    [[nodiscard]] ErrorNumber number() const noexcept { return number_; }
    [[nodiscard]] ErrorSource source() const noexcept { return source_; }

private:
    ErrorNumber number_;
    ErrorSource source_;
};

} // namespace quemador
