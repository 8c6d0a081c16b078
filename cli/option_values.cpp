// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/option_values.h"

#include "calculation/reading_advice.h"
#include "cli/usage_error.h"
#include "text/names.h"

#include <cstdio>

namespace quemador::cli {
namespace {

// What is wrong with an option's value, naming the option.
std::string fault_text(const log::OptionSpec& spec, const log::OptionFault& fault)
{
    const std::string name(spec.name);
    switch (fault.kind) {
    case log::OptionFault::Kind::not_a_number:
        return name + " no es un número: " + quoted(fault.text, 40) +
            " (escriba solo cifras, con punto o coma decimal)";
    case log::OptionFault::Kind::out_of_range:
        return name + " " + log::range_text(spec, text::DecimalComma::rejected) + ": " +
            quoted(fault.text, 40);
    case log::OptionFault::Kind::unknown:
        break;
    }
    if (spec.option == Option::fuel)
        return log::unknown_fuel(fault.text) + " (use " + std::string(spec.use) + ")";
    if (spec.kind == log::ValueKind::figures) {
        std::string ids;
        for (const FigureFacts& figure : figure_kinds())
            ids += (ids.empty() ? "" : ", ") + std::string(figure.id);
        return name + ": " + std::string(spec.unknown) + " o repetida: " + quoted(fault.text, 40) +
            " (use " + ids + ")";
    }
    return std::string(spec.unknown) + ": " + quoted(fault.text, 40) + " (use " +
        std::string(spec.use) + ")";
}

} // namespace

namespace {
bool quiet = false;
} // namespace

void keep_quiet(bool on) { quiet = on; }

void say(std::string_view line)
{
    if (!quiet)
        complain(line);
}

void complain(std::string_view line)
{
    // Written whole, control characters escaped: a field quoted in a message may hold any
    // byte.
    const std::string shown = text::printable(line);
    std::fputs("quemador1-calc: ", stderr);
    std::fwrite(shown.data(), 1, shown.size(), stderr);
    std::fputc('\n', stderr);
}

log::OptionValue read(const Text& text, Option option)
{
    const log::OptionSpec& spec = log::spec_of(option);
    log::OptionValue value = log::read_option(spec, *text);
    if (value.fault)
        throw UsageError(fault_text(spec, *value.fault));
    return value;
}

std::optional<Fuel> fuel_option(const Text& text)
{
    if (!text)
        return std::nullopt;
    return static_cast<Fuel>(read(text, Option::fuel).choice);
}

double number_option(const Text& text, Option option)
{
    if (!text)
        throw UsageError("falta " + std::string(log::spec_of(option).name));
    return read(text, option).number;
}

std::optional<double> optional_number(const Text& text, Option option)
{
    if (!text)
        return std::nullopt;
    return number_option(text, option);
}

std::vector<FigureKind> figures_option(const Text& text)
{
    return text ? read(text, Option::figures).figures : std::vector<FigureKind>{};
}

bool in_celsius(const Temperatures& temperatures)
{
    if (temperatures.celsius && temperatures.fahrenheit)
        throw UsageError("--celsius y --fahrenheit se excluyen");
    return temperatures.celsius;
}

int finish_output(int status)
{
    if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) {
        complain("no se pudo escribir la salida entera");
        return exit_not_calculated;
    }
    return status;
}

std::optional<double> target_o2_option(const Text& text, const Text& target_temp)
{
    if (target_temp && !text)
        throw UsageError("--objetivo-temp solo se usa con --objetivo-o2");
    return optional_number(text, Option::target_o2);
}

} // namespace quemador::cli
