// SPDX-License-Identifier: GPL-3.0-or-later
#include "log/header.h"

#include "log/log_error.h"
#include "text/names.h"
#include "text/numbers.h"

#include <algorithm>
#include <array>
#include <optional>

namespace quemador::log {
namespace {

using text::CsvReader;

// The most columns of the line taken as the header that a message lists.
constexpr std::size_t listed_columns = 12;

bool is_candidate_separator(char c) { return c == ',' || c == ';' || c == '\t'; }

// A "sep=;" line, as Excel writes it above a header: the separator it gives.
std::optional<char> separator_line(std::string_view line)
{
    line = text::trimmed(line);
    if (line.size() < 5 || text::folded(line.substr(0, 3)) != "sep" || line[3] != '=')
        return std::nullopt;
    const char separator = line[4];
    const bool rest =
        std::all_of(line.begin() + 5, line.end(), [separator](char c) { return c == separator; });
    if (!rest || separator == '"' || separator == '\r' || separator == '\n')
        return std::nullopt;
    return separator;
}

// The line that looks most like a header, for the message when none is one.
struct Candidate {
    std::uint64_t line = 0;
    int named = -1; // how many of the oxygen and temperature columns it names
    Columns columns;
    std::vector<std::string> fields;
};

Note missing_columns_message(const Candidate& best, std::string_view how_read,
                             bool suspect_encoding)
{
    if (best.line == 0)
        return Note("el archivo está vacío: falta la línea de encabezados").about("vacio");
    const bool o2 = best.columns.has(Column::o2);
    const bool temperature = best.columns.has(Column::temperature);
    std::string message = "faltan las columnas de oxígeno y de temperatura";
    if (o2)
        message = "falta la columna de temperatura";
    else if (temperature)
        message = "falta la columna de oxígeno";
    message += ": ninguna de las primeras " + std::to_string(max_header_line) +
        " líneas las nombra; la línea " + std::to_string(best.line) +
        ", tomada como encabezado, tiene ";
    for (std::size_t i = 0; i < best.fields.size() && i < listed_columns; ++i)
        message += (i > 0 ? ", «" : "«") + best.fields[i] + "»";
    if (best.fields.size() > listed_columns)
        message += " y " + std::to_string(best.fields.size() - listed_columns) + " más";
    message += " (leída como " + std::string(how_read) + ")";
    Note note(std::move(message));
    note.about("sin_encabezado",
               {{"linea", best.line},
                {"falta",
                 o2                ? "temperatura"
                     : temperature ? "o2"
                                   : "o2 y temperatura"}});
    if (suspect_encoding) {
        note += "; si el archivo tiene otra codificación, ";
        note += Remedy{Remedy::Ask::give, Remedy::Setting::encoding, {}};
    }
    note += "; ";
    note += Remedy{Remedy::Ask::name_readings, Remedy::Setting::column, {}};
    return note;
}

// Signs that the text was decoded in the wrong encoding: bytes that were no character,
// UTF-8 read as Windows-1252 ("Ã³" for "ó"), UTF-16 read as 8-bit (zero bytes).
bool looks_misdecoded(std::string_view line)
{
    return line.find('\0') != std::string_view::npos ||
        line.find("\xEF\xBF\xBD") != std::string_view::npos ||
        line.find("\xC3\x83") != std::string_view::npos ||
        line.find("\xC3\x82") != std::string_view::npos;
}

// Reads the next record; false at the end of the input. A record too long for a log
// ends the search.
bool next_line(CsvReader& reader, std::vector<std::string_view>& fields)
{
    reader.mark();
    if (!reader.next(fields))
        return false;
    if (reader.too_long())
        throw LogError(Note("la línea " + std::to_string(reader.line()) +
                            " tiene más de 1 MiB: no es un registro de lecturas")
                           .about("linea_demasiado_larga", {{"linea", reader.line()}}));
    return true;
}

} // namespace

char separator_of(std::string_view line)
{
    std::array<std::size_t, 3> counts{};
    constexpr std::array<char, 3> candidates = {',', ';', '\t'};
    bool quoted = false;
    bool field_start = true;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (quoted) {
            if (c == '"' && i + 1 < line.size() && line[i + 1] == '"')
                ++i;
            else
                quoted = c != '"';
            field_start = false;
            continue;
        }
        quoted = c == '"' && field_start;
        field_start = is_candidate_separator(c);
        for (std::size_t k = 0; k < candidates.size(); ++k)
            counts.at(k) += c == candidates.at(k) ? 1 : 0;
    }
    const auto* most = std::max_element(counts.begin(), counts.end());
    return *most > 0 ? candidates.at(static_cast<std::size_t>(most - counts.begin())) : ',';
}

LogStart find_header(CsvReader& reader, const ColumnChoice& choice,
                     const std::function<std::string()>& how_read)
{
    LogStart start;
    std::optional<char> given_separator;
    Candidate best;
    bool misdecoded = false;
    std::vector<std::string_view> fields;
    // The search holds what it reads: no more than one long record's worth.
    for (std::size_t record = 1;
         record <= max_header_line && start.above.size() < text::max_record_bytes; ++record) {
        if (!next_line(reader, fields))
            break;
        if (const auto given = separator_line(reader.raw_record())) {
            given_separator = given;
        } else {
            // The line read again when its separator is not the one it was read with.
            const char separator = given_separator.value_or(separator_of(reader.raw_record()));
            if (separator != reader.separator()) {
                reader.rewind();
                reader.set_separator(separator);
                next_line(reader, fields);
            }
            misdecoded = misdecoded || looks_misdecoded(reader.raw_record());
            const Columns columns = find_columns(fields, choice);
            if (columns.names_readings()) {
                reader.unmark();
                start.header.assign(fields.begin(), fields.end());
                start.header_line = reader.line();
                start.separator = separator;
                start.line_end = reader.line_end();
                start.unclosed_quote_line = reader.unclosed_quote_line();
                return start;
            }
            const int named =
                (columns.has(Column::o2) ? 1 : 0) + (columns.has(Column::temperature) ? 1 : 0);
            if (named > best.named || (named == best.named && fields.size() > best.fields.size()))
                best = {reader.line(), named, columns, {fields.begin(), fields.end()}};
        }
        start.above.append(reader.raw_record()).append(text::line_end_text(reader.line_end()));
    }
    reader.unmark();
    throw LogError(missing_columns_message(best, how_read(), misdecoded));
}

} // namespace quemador::log
