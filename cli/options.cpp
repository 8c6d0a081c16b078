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

// An option's name, as the command line gives it.
std::string name_of(Option option) { return std::string(log::spec_of(option).name); }

} // namespace

std::string remedy_words(const log::Remedy& remedy)
{
    using Ask = log::Remedy::Ask;
    using Setting = log::Remedy::Setting;
    const std::string column(log::column_spec(remedy.column).name);
    const std::string unit = name_of(remedy.value == "°C" ? Option::celsius : Option::fahrenheit);
    switch (remedy.ask) {
    case Ask::set:
        if (remedy.setting == Setting::unit)
            return "repita con " + unit;
        return "repita con " +
            name_of(remedy.setting == Setting::encoding ? Option::encoding : Option::date_order) +
            " " + remedy.value;
    case Ask::give:
        return remedy.setting == Setting::fuel
            ? "indique " + name_of(Option::fuel)
            : "désela con " + name_of(Option::encoding) + " utf-8, utf-16 o windows-1252";
    case Ask::set_by:
        return "por " + (remedy.setting == Setting::unit ? unit : name_of(Option::date_order));
    case Ask::name_column:
        return "nómbrela con " + column;
    case Ask::which_column:
        return "diga cuál con " + column + " (nombre o número)";
    case Ask::for_column:
        return "para " + column;
    case Ask::control:
        return name_of(remedy.setting == Setting::air ? Option::air : Option::target_o2);
    case Ask::name_readings:
        break;
    }
    return "diga qué columna es cada lectura con " +
        std::string(log::column_spec(log::Column::o2).name) + " y " +
        std::string(log::column_spec(log::Column::temperature).name) + " (nombre o número)";
}

Given::Given()
    : values_(log::option_specs().size()), lists_(log::option_specs().size()),
      flags_(log::option_specs().size())
{
}

std::size_t Given::index_of(Option option, Mode mode)
{
    const log::OptionSpec& spec = log::spec_of(option);
    if (!spec.takes(mode))
        throw std::logic_error("a mode takes an option not declared for it");
    return cli::index_of(spec);
}

bool Given::has(std::size_t index) const
{
    return values_.at(index).has_value() || !lists_.at(index).empty() || flags_.at(index);
}

bool Given::has(Option option) const { return has(cli::index_of(log::spec_of(option))); }

const std::optional<std::string>& Given::text(Option option, Mode mode) const
{
    return values_.at(index_of(option, mode));
}

bool Given::is_set(Option option, Mode mode) const { return flags_.at(index_of(option, mode)); }

const std::vector<std::string>& Given::texts(Option option, Mode mode) const
{
    return lists_.at(index_of(option, mode));
}

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
