// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// quemador1-calc's options: each defined once, for the parser and its help, and taken
// by the modes that use them. Whatever a mode does not take was given in vain, and the
// program says so: which options go with which mode is what each mode takes.

#include "log/note.h"

#include <cstddef>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quemador::cli {

struct OptionSpec {
    std::string names;     // as the parser takes them: "-c,--combustible"
    std::string type_name; // what its value is, for the help: "gas|fueloil"; empty for a flag
    std::string help;

    [[nodiscard]] bool flag() const { return type_name.empty(); }
    // The long name: "--combustible".
    [[nodiscard]] std::string_view name() const;
};

// Every option, in the order of the help.
const std::vector<OptionSpec>& option_specs();

// What a note of the log asks of the user (log/note.h), in the command line's words:
// its options.
std::string remedy_words(const log::Remedy& remedy);

// What the user gave, option by option, and what the mode took of it.
class Given {
public:
    Given();

    // Where the parser puts each option, by its index in option_specs.
    std::optional<std::string>& value(std::size_t index) { return values_.at(index); }
    bool& flag(std::size_t index) { return flags_.at(index); }

    // Takes an option for the mode: its text when it was given.
    std::optional<std::string> text(std::string_view name);
    // Takes a flag for the mode: whether it was given.
    bool is_set(std::string_view name);
    [[nodiscard]] bool has(std::string_view name) const;

    // The options given that the mode did not take.
    [[nodiscard]] std::vector<std::string> not_taken() const;

private:
    [[nodiscard]] static std::size_t index_of(std::string_view name);

    std::vector<std::optional<std::string>> values_;
    std::deque<bool> flags_; // the parser keeps a reference to each
    std::vector<bool> taken_;
};

} // namespace quemador::cli
