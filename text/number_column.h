// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Numbers as a column of a data file writes them, with a decimal mark and perhaps a
// thousands separator, both settled by the column's own figures as a log's dates settle
// their order. With a decimal comma a point groups thousands ("1.270", "1.250.000,5");
// with a decimal point a comma does ("1,270.5"). A group is exactly three digits after a
// first group of one to three that does not begin with 0. A cell that reads only one
// way ("0,09", "1.250.000", "1,270.5", "12.5") is read so and settles the mark; one that
// reads both ways ("1.270", "200,000") waits for the mark and is never guessed. Nothing
// here depends on the C or system locale.

#include <cstdint>
#include <optional>
#include <string_view>

namespace quemador::text {

enum class DecimalMark : std::uint8_t { point, comma };

// The mark's name in a message: "el punto", "la coma".
std::string_view mark_name(DecimalMark mark);

// A cell read both ways: with a decimal point (a comma grouping thousands) and with a
// decimal comma (a point grouping thousands). A way the cell does not read in is none.
// Blanks around the cell and a sign before it are allowed; exponents, "inf" and "nan"
// are not.
struct NumberReadings {
    std::optional<double> point;
    std::optional<double> comma;
    bool grouped_point = false; // the point's reading has a thousands separator
    bool grouped_comma = false;
    bool marked = false; // the cell has a point or a comma

    [[nodiscard]] const std::optional<double>& in(DecimalMark mark) const
    {
        return mark == DecimalMark::point ? point : comma;
    }
    [[nodiscard]] bool grouped(DecimalMark mark) const
    {
        return mark == DecimalMark::point ? grouped_point : grouped_comma;
    }
    // Whether the cell reads as two different numbers, one in each mark.
    [[nodiscard]] bool ambiguous() const { return point && comma && marked; }
};
NumberReadings number_readings(std::string_view cell);

// The numbers of a column, or of several columns that share their marks (a file's
// readings, whose one decimal mark any of them may show). The mark is given, or settled
// by the first cell that reads in one mark only, and never changes after.
class NumberColumn {
public:
    explicit NumberColumn(std::optional<DecimalMark> given = std::nullopt)
        : mark_(given), given_(given.has_value())
    {
    }

    enum class State : std::uint8_t {
        none,        // not a number
        number,      // value
        waiting,     // reads both ways, and the mark is not settled
        contradicts, // a number only in the other mark than the column's
    };
    struct Read {
        State state = State::none;
        double value = 0;
        bool grouped = false; // read with a thousands separator
    };

    // Reads a cell on a line; settles the mark when the cell reads in one mark only.
    Read read(std::string_view cell, std::uint64_t line);

    [[nodiscard]] std::optional<DecimalMark> mark() const { return mark_; }
    [[nodiscard]] bool given() const { return given_; }
    // The line that settled the mark; 0 when it was given or is not settled.
    [[nodiscard]] std::uint64_t settled_line() const { return settled_line_; }
    // Cells read with a thousands separator.
    [[nodiscard]] std::uint64_t grouped() const { return grouped_; }
    // Cells that waited for the mark.
    [[nodiscard]] std::uint64_t waited() const { return waited_; }

private:
    std::optional<DecimalMark> mark_;
    bool given_;
    std::uint64_t settled_line_ = 0;
    std::uint64_t grouped_ = 0;
    std::uint64_t waited_ = 0;
};

} // namespace quemador::text
