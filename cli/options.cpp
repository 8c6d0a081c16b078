// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/options.h"

#include <stdexcept>

namespace quemador::cli {
namespace {

// Where a declaration stands among them all.
std::size_t index_of(const log::OptionSpec& spec)
{
    return static_cast<std::size_t>(&spec - log::option_specs().data());
}

} // namespace

Given::Given() : values_(log::option_specs().size()), flags_(log::option_specs().size()) {}

std::size_t Given::index_of(Option option, Mode mode)
{
    const log::OptionSpec& spec = log::spec_of(option);
    if (!spec.takes(mode))
        throw std::logic_error("a mode takes an option not declared for it");
    return cli::index_of(spec);
}

bool Given::has(std::size_t index) const
{
    return values_.at(index).has_value() || flags_.at(index);
}

bool Given::has(Option option) const { return has(cli::index_of(log::spec_of(option))); }

const std::optional<std::string>& Given::text(Option option, Mode mode) const
{
    return values_.at(index_of(option, mode));
}

bool Given::is_set(Option option, Mode mode) const { return flags_.at(index_of(option, mode)); }

const std::optional<std::string>& Given::column(log::Column column) const
{
    return values_.at(cli::index_of(log::column_spec(column)));
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
