// SPDX-License-Identifier: GPL-3.0-or-later
#include "log/layout.h"

#include <algorithm>

namespace quemador::log {
namespace {

constexpr std::size_t none = Columns::none;

} // namespace

std::vector<FigureKind> default_figures(bool air, bool target, bool co)
{
    std::vector<FigureKind> figures = {FigureKind::excess_air, FigureKind::efficiency,
                                       FigureKind::net};
    if (air)
        figures.push_back(FigureKind::corrected);
    if (target)
        figures.push_back(FigureKind::saving);
    if (co)
        figures.push_back(FigureKind::co_air_free);
    return figures;
}

std::vector<ResultColumn> result_columns(std::span<const FigureKind> figures)
{
    std::vector<ResultColumn> columns(figures.size());
    std::transform(figures.begin(), figures.end(), columns.begin(), [](FigureKind figure) {
        return ResultColumn{figure, figure_facts(figure).id};
    });
    columns.push_back({std::nullopt, notes_column});
    return columns;
}

Layout::Layout(const std::vector<std::string>& header, std::vector<ResultColumn> results)
    : columns(std::move(results)), width(header.size()), in_place(columns.size(), none)
{
    for (const ResultColumn& column : columns) {
        if (column.figure)
            figures.push_back(index_of(*column.figure));
    }
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
