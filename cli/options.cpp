// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/options.h"

#include <algorithm>
#include <stdexcept>

namespace quemador::cli {

Given::Given() : values_(log::option_specs().size()), flags_(log::option_specs().size()) {}

std::size_t Given::index_of(Option option, Mode mode)
{
    const auto specs = log::option_specs();
    const auto at = std::find_if(specs.begin(), specs.end(), [option](const auto& spec) {
        return spec.option == option;
    });
    if (at == specs.end() || !at->takes(mode))
        throw std::logic_error("a mode takes an option not declared for it");
    return static_cast<std::size_t>(at - specs.begin());
}

bool Given::has(std::size_t index) const { return values_.at(index).has_value() || flags_.at(index); }

bool Given::has(Option option) const
{
    const auto specs = log::option_specs();
    const auto at = std::find_if(specs.begin(), specs.end(), [option](const auto& spec) {
        return spec.option == option;
    });
    return has(static_cast<std::size_t>(at - specs.begin()));
}

const std::optional<std::string>& Given::text(Option option, Mode mode) const
{
    return values_.at(index_of(option, mode));
}

bool Given::is_set(Option option, Mode mode) const { return flags_.at(index_of(option, mode)); }

const std::optional<std::string>& Given::column(log::Column column) const
{
    const auto specs = log::option_specs();
    const auto at = std::find_if(specs.begin(), specs.end(), [column](const auto& spec) {
        return spec.column == column;
    });
    return values_.at(static_cast<std::size_t>(at - specs.begin()));
}

std::optional<std::size_t> Given::not_taken(Mode mode) const
{
    const auto specs = log::option_specs();
    for (std::size_t i = 0; i < specs.size(); ++i) {
        if (has(i) && !specs[i].takes(mode))
            return i;
    }
    return std::nullopt;
}

} // namespace quemador::cli
