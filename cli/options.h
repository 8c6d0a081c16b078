// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What the user gave quemador1-calc, option by option, over the options' declarations
// (log/options.h): the parser fills it, and each mode takes the options it is declared
// to take. A mode asking for an option not declared for it is a fault of the program,
// which the tests of every mode catch; an option given that the mode does not take was
// given in vain, and the program says so.

#include "log/options.h"

#include <cstddef>
#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace quemador::cli {

using log::Mode;
using log::Option;

// What a note of the log asks of the user (log/note.h), in the command line's words:
// its options.
std::string remedy_words(const log::Remedy& remedy);

class Given {
public:
    Given();

    // Where the parser puts each option, by its index in log::option_specs().
    std::optional<std::string>& value(std::size_t index) { return values_.at(index); }
    // An option given more than once (log::OptionSpec::repeated), each value in order.
    std::vector<std::string>& values(std::size_t index) { return lists_.at(index); }
    bool& flag(std::size_t index) { return flags_.at(index); }
    [[nodiscard]] bool has(std::size_t index) const;
    [[nodiscard]] bool has(Option option) const;

    // An option's text, and a flag, for a mode declared to take it.
    [[nodiscard]] const std::optional<std::string>& text(Option option, Mode mode) const;
    [[nodiscard]] bool is_set(Option option, Mode mode) const;
    [[nodiscard]] const std::vector<std::string>& texts(Option option, Mode mode) const;
    // A column's option, for a log.
    [[nodiscard]] const std::optional<std::string>& column(log::Column column) const;

    // The first option given that a mode does not take, by its index; none when it
    // takes them all.
    [[nodiscard]] std::optional<std::size_t> not_taken(Mode mode) const;

private:
    [[nodiscard]] static std::size_t index_of(Option option, Mode mode);

    std::vector<std::optional<std::string>> values_;
    std::vector<std::vector<std::string>> lists_;
    std::deque<bool> flags_; // the parser keeps a reference to each
};

} // namespace quemador::cli
