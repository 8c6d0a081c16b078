// SPDX-License-Identifier: GPL-3.0-or-later
#include "log/layout.h"

#include <algorithm>
#include <array>

namespace quemador::log {
namespace {

constexpr std::size_t none = Columns::none;

ResultColumn column_of(Result result)
{
    return {result, result_column_names.at(static_cast<std::size_t>(result))};
}

} // namespace

std::vector<ResultColumn> result_columns(bool corrected, bool saving, bool co)
{
    std::vector<ResultColumn> columns = {column_of(Result::excess_air),
                                         column_of(Result::efficiency), column_of(Result::net)};
    if (corrected)
        columns.push_back(column_of(Result::corrected));
    if (saving)
        columns.push_back(column_of(Result::saving));
    if (co)
        columns.push_back(column_of(Result::co_air_free));
    columns.push_back(column_of(Result::notes));
    return columns;
}

std::string& text_of(Outcome& outcome, Result result)
{
    // A table, not a switch: a row asks for three or more results in turn, and a jump
    // table's branch, taken to another case each time, is mispredicted about as often.
    static constexpr std::array<std::string Outcome::*, result_kinds - 1> texts = {
        &Outcome::excess_air, &Outcome::efficiency, &Outcome::net,
        &Outcome::corrected,  &Outcome::saving,     &Outcome::co_air_free};
    return outcome.*texts.at(static_cast<std::size_t>(result));
}

Layout::Layout(const std::vector<std::string>& header, std::vector<ResultColumn> results)
    : columns(std::move(results)), width(header.size()), in_place(columns.size(), none)
{
    for (std::size_t k = 0; k < columns.size(); ++k) {
        const auto at = std::find(header.begin(), header.end(), columns[k].name);
        if (at != header.end())
            in_place[k] = static_cast<std::size_t>(at - header.begin());
        else
            appended.push_back(k);
    }
}

std::size_t Layout::result_in(std::size_t column) const
{
    const auto at = std::find(in_place.begin(), in_place.end(), column);
    return at == in_place.end() ? none : static_cast<std::size_t>(at - in_place.begin());
}

void Layout::write(text::CsvWriter& writer, const std::vector<std::string_view>& fields,
                   const std::string_view* raw, std::span<const std::string_view> results,
                   text::LineEnd end, bool plain_results) const
{
    if (raw != nullptr && appended.size() == columns.size() && fields.size() <= width) {
        // Most rows: as read, padded, and the results after them.
        writer.fields_as_read(*raw);
        for (std::size_t i = fields.size(); i < width; ++i)
            writer.plain_field("");
        for (std::size_t k = 0; k + 1 < results.size(); ++k) {
            if (plain_results)
                writer.plain_field(results[k]);
            else
                writer.field(results[k]);
        }
        writer.field(results.back());
        writer.end_record(end);
        return;
    }
    for (std::size_t i = 0; i < width; ++i) {
        const std::size_t k = result_in(i);
        writer.field(k == none ? field_at(fields, i) : results[k]);
    }
    for (const std::size_t k : appended)
        writer.field(results[k]);
    for (std::size_t i = width; i < fields.size(); ++i)
        writer.field(fields[i]);
    writer.end_record(end);
}

void Layout::write_header(text::CsvWriter& writer, const std::vector<std::string>& header,
                          text::LineEnd end) const
{
    for (const std::string& name : header)
        writer.field(name);
    for (const std::size_t k : appended)
        writer.field(columns[k].name);
    writer.end_record(end);
}

} // namespace quemador::log
