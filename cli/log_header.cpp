// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/log_header.h"

#include "cli/usage_error.h"

#include <algorithm>
#include <array>

namespace quemador::cli {
namespace {

constexpr std::size_t read_size = std::size_t{64} * 1024;
// The most columns of the line taken as the header that a message lists.
constexpr std::size_t listed_columns = 12;

// A header split into its name and its unit, both folded: "T gas (°C)" gives "tgas"
// and "c"; "o2_pct" gives "o2" and "pct".
struct HeaderParts {
    std::string name;
    std::string unit;
};

HeaderParts split_header(std::string_view header)
{
    std::string_view name = header;
    std::string_view unit;
    if (const auto open = header.find_first_of("(["); open != std::string_view::npos) {
        name = header.substr(0, open);
        const std::string_view rest = header.substr(open + 1);
        unit = rest.substr(0, rest.find_first_of(")]"));
    }
    while (!name.empty() && (name.back() == ' ' || name.back() == '_'))
        name.remove_suffix(1);
    // A last word that is a unit: "O2 %", "temp_c", "T gas °C".
    if (const auto cut = name.find_last_of(" _"); cut != std::string_view::npos) {
        static const std::array<std::string_view, 8> units = {
            "", "pct", "c", "f", "degc", "degf", "celsius", "fahrenheit"};
        const std::string word = folded(name.substr(cut + 1));
        if (std::find(units.begin(), units.end(), word) != units.end()) {
            if (unit.empty())
                unit = name.substr(cut + 1);
            name = name.substr(0, cut);
        }
    }
    return {folded(name), folded(unit)};
}

template <std::size_t N>
bool one_of(std::string_view key, const std::array<std::string_view, N>& names)
{
    return std::find(names.begin(), names.end(), key) != names.end();
}

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
        text.remove_suffix(1);
    return text;
}

bool is_candidate_separator(char c) { return c == ',' || c == ';' || c == '\t'; }

// The line feed that ends the line starting at begin, a quote that opens a field (at
// the start of the line or after one of , ; tab) holding line feeds until it closes;
// npos when the text ends first.
std::size_t quoted_line_end(std::string_view text, std::size_t begin)
{
    bool quoted = false;
    bool field_start = true;
    for (std::size_t i = begin; i < text.size(); ++i) {
        const char c = text[i];
        if (!quoted && c == '\n')
            return i;
        if (quoted && c == '"') {
            if (i + 1 == text.size())
                return std::string_view::npos; // a doubled quote, or the closing one?
            quoted = text[i + 1] == '"';
            i += quoted ? 1 : 0;
        } else if (!quoted) {
            quoted = c == '"' && field_start;
            field_start = is_candidate_separator(c);
        }
    }
    return std::string_view::npos;
}

// The column a user names: a number from 1, or a header's name as written or folded.
std::size_t chosen_column(const std::string& choice, const std::vector<std::string_view>& header)
{
    const bool number = !choice.empty() &&
        std::all_of(choice.begin(), choice.end(), [](char c) { return c >= '0' && c <= '9'; });
    if (number) {
        const std::size_t n = choice.size() > 6 ? 0 : std::stoul(choice);
        return n >= 1 && n <= header.size() ? n - 1 : Columns::none;
    }
    for (std::size_t i = 0; i < header.size(); ++i) {
        if (trimmed(header[i]) == trimmed(choice))
            return i;
    }
    const std::string key = folded(choice);
    for (std::size_t i = 0; i < header.size(); ++i) {
        if (!key.empty() && folded(header[i]) == key)
            return i;
    }
    return Columns::none;
}

// A "sep=;" line, as Excel writes it above a header: the separator it gives.
std::optional<char> separator_line(std::string_view line)
{
    line = trimmed(line);
    if (line.size() < 5 || folded(line.substr(0, 3)) != "sep" || line[3] != '=')
        return std::nullopt;
    const char separator = line[4];
    const bool rest =
        std::all_of(line.begin() + 5, line.end(), [separator](char c) { return c == separator; });
    if (!rest || separator == '"' || separator == '\r')
        return std::nullopt;
    return separator;
}

// Where a line lies in the text read.
struct Line {
    std::size_t begin;
    std::size_t end;  // the line feed, or the end of the input
    std::size_t next; // where the next line begins
};

// The first lines of a source, read as far as they are needed.
class Lines {
public:
    explicit Lines(ByteSource& source) : source_(source) {}

    // The line that begins at begin; false at the end of the input.
    bool at(std::size_t begin, Line& line)
    {
        while (begin == text_.size())
            if (!more())
                return false;
        std::size_t end = quoted_line_end(text_, begin);
        while (end == std::string::npos && text_.size() - begin <= max_record_bytes && more())
            end = quoted_line_end(text_, begin);
        // A quote never closed: the line ends at the next line feed.
        while (end == std::string::npos) {
            end = text_.find('\n', begin);
            if (end != std::string::npos)
                break;
            if (text_.size() - begin > max_record_bytes)
                throw UsageError("la línea " + std::to_string(line_number(begin)) +
                                 " tiene más de 1 MiB: no es un registro de lecturas");
            if (!more())
                end = text_.size();
        }
        line = {begin, end, std::min(end + 1, text_.size())};
        return true;
    }

    [[nodiscard]] std::uint64_t line_number(std::size_t offset) const
    {
        return 1 +
            static_cast<std::uint64_t>(
                   std::count(text_.begin(), text_.begin() + static_cast<long>(offset), '\n'));
    }

    std::string& text() { return text_; }

private:
    bool more()
    {
        if (at_end_)
            return false;
        const std::size_t old = text_.size();
        text_.resize(old + read_size);
        const std::size_t n = source_.read(text_.data() + old, read_size);
        text_.resize(old + n);
        at_end_ = n == 0;
        return n > 0;
    }

    ByteSource& source_;
    std::string text_;
    bool at_end_ = false;
};

// The line that looks most like a header, for the message when none is one.
struct Candidate {
    std::uint64_t line = 0;
    int named = -1; // how many of the oxygen and temperature columns it names
    Columns columns;
    std::vector<std::string> fields;
};

std::string missing_columns_message(const Candidate& best, std::string_view how_read,
                                    bool suspect_encoding)
{
    if (best.line == 0)
        return "el archivo está vacío: falta la línea de encabezados";
    const bool o2 = best.columns.o2 != Columns::none;
    const bool temperature = best.columns.temperature != Columns::none;
    std::string text = "faltan las columnas de oxígeno y de temperatura";
    if (o2)
        text = "falta la columna de temperatura";
    else if (temperature)
        text = "falta la columna de oxígeno";
    text += ": ninguna de las primeras " + std::to_string(max_header_line) +
        " líneas las nombra; la línea " + std::to_string(best.line) +
        ", tomada como encabezado, tiene ";
    for (std::size_t i = 0; i < best.fields.size() && i < listed_columns; ++i)
        text += (i > 0 ? ", «" : "«") + best.fields[i] + "»";
    if (best.fields.size() > listed_columns)
        text += " y " + std::to_string(best.fields.size() - listed_columns) + " más";
    text += " (leída como " + std::string(how_read) + ")";
    if (suspect_encoding)
        text += "; si el archivo tiene otra codificación, désela con --codificacion utf-8, "
                "utf-16 o windows-1252";
    text += "; diga qué columna es cada lectura con --col-o2 y --col-temp (nombre o número)";
    return text;
}

// Signs that the text was decoded in the wrong encoding: bytes that were no character,
// UTF-8 read as Windows-1252 ("Ã³" for "ó"), UTF-16 read as 8-bit (zero bytes).
bool looks_misdecoded(std::string_view text)
{
    return text.find('\0') != std::string_view::npos ||
        text.find("\xEF\xBF\xBD") != std::string_view::npos ||
        text.find("\xC3\x83") != std::string_view::npos ||
        text.find("\xC3\x82") != std::string_view::npos;
}

} // namespace

Column column_named(std::string_view header)
{
    static const std::array<std::string_view, 3> o2 = {"o2", "oxigeno", "oxygen"};
    static const std::array<std::string_view, 3> co2 = {"co2", "dioxidodecarbono", "carbondioxide"};
    static const std::array<std::string_view, 26> temperature = {"temperatura",
                                                                 "temp",
                                                                 "t",
                                                                 "tgas",
                                                                 "tgases",
                                                                 "thumos",
                                                                 "tchimenea",
                                                                 "temphumos",
                                                                 "tempgas",
                                                                 "tempgases",
                                                                 "tempchimenea",
                                                                 "tempstack",
                                                                 "temperaturadehumos",
                                                                 "temperaturahumos",
                                                                 "temperaturagas",
                                                                 "temperaturagases",
                                                                 "temperaturadegases",
                                                                 "temperaturadelosgases",
                                                                 "temperaturadelgas",
                                                                 "temperaturachimenea",
                                                                 "temperaturadechimenea",
                                                                 "temperature",
                                                                 "stacktemperature",
                                                                 "stacktemp",
                                                                 "fluegastemperature",
                                                                 "fluegastemp"};
    static const std::array<std::string_view, 2> fuel = {"combustible", "fuel"};
    static const std::array<std::string_view, 20> air = {"taire",
                                                         "temperaturaaire",
                                                         "temperaturadelaire",
                                                         "tambiente",
                                                         "tamb",
                                                         "temperaturaambiente",
                                                         "tcomb",
                                                         "tairecomb",
                                                         "tairecombustion",
                                                         "taireentrada",
                                                         "temperaturaairecombustion",
                                                         "temperaturadelairedecombustion",
                                                         "aire",
                                                         "airtemp",
                                                         "airtemperature",
                                                         "ambienttemperature",
                                                         "ambienttemp",
                                                         "combustionairtemperature",
                                                         "tempaire",
                                                         "tempambiente"};
    static const std::array<std::string_view, 15> analyser = {"rendimiento",
                                                              "rendimientoneto",
                                                              "rendneto",
                                                              "rendimientocombustion",
                                                              "rend",
                                                              "eficiencia",
                                                              "eficiencianeta",
                                                              "eficienciacombustion",
                                                              "eta",
                                                              "etaneto",
                                                              "efficiency",
                                                              "netefficiency",
                                                              "combustionefficiency",
                                                              "eff",
                                                              "wirkungsgrad"};

    if (is_result_column(trimmed(header)))
        return Column::none;
    const std::string name = split_header(header).name;
    if (one_of(name, o2))
        return Column::o2;
    if (one_of(name, co2))
        return Column::co2;
    if (one_of(name, temperature))
        return Column::temperature;
    if (one_of(name, fuel))
        return Column::fuel;
    if (one_of(name, air))
        return Column::air;
    // "η", alone or with its unit, has no ASCII letter to fold.
    if (one_of(name, analyser) || (name.empty() && trimmed(header).starts_with("\xCE\xB7")))
        return Column::analyser;
    return Column::none;
}

bool is_result_column(std::string_view header) { return one_of(header, result_column_names); }

std::optional<TemperatureUnit> unit_named(std::string_view header)
{
    static const std::array<std::string_view, 3> celsius = {"c", "degc", "celsius"};
    static const std::array<std::string_view, 3> fahrenheit = {"f", "degf", "fahrenheit"};
    std::string unit = split_header(header).unit;
    if (unit.empty() && is_unit_cell(header))
        unit = folded(header);
    if (one_of(unit, celsius))
        return TemperatureUnit::celsius;
    if (one_of(unit, fahrenheit))
        return TemperatureUnit::fahrenheit;
    return std::nullopt;
}

bool is_unit_cell(std::string_view cell)
{
    static const std::array<std::string_view, 24> units = {
        "",   "%",   "%vol", "vol%",  "°c",     "°f",     "c",    "f",
        "k",  "ppm", "ppmv", "mg/m3", "mg/nm3", "mg/kwh", "mbar", "hpa",
        "pa", "kpa", "bar",  "m/s",   "l/min",  "°",      "s",    "min"};
    std::string key;
    for (std::size_t i = 0; i < cell.size(); ++i) {
        const char c = cell[i];
        if (c == ' ' || c == '\t' || c == '\r' || c == '(' || c == ')' || c == '[' || c == ']')
            continue;
        if (c == '\xC2' && i + 1 < cell.size() &&
            (cell[i + 1] == '\xBA' || cell[i + 1] == '\xB0')) {
            key += "°"; // º is often typed for °
            ++i;
        } else if (c == '\xC2' && i + 1 < cell.size() && cell[i + 1] == '\xB3') {
            key += '3';
            ++i;
        } else {
            key += c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
        }
    }
    return one_of(key, units);
}

Columns find_columns(const std::vector<std::string_view>& header, const ColumnChoice& choice)
{
    Columns columns;
    for (std::size_t i = header.size(); i-- > 0;) {
        switch (column_named(header[i])) {
        case Column::o2:
            columns.o2 = i;
            break;
        case Column::co2:
            columns.co2 = i;
            break;
        case Column::temperature:
            columns.temperature = i;
            break;
        case Column::fuel:
            columns.fuel = i;
            break;
        case Column::air:
            columns.air = i;
            break;
        case Column::analyser:
            columns.analyser = i;
            break;
        case Column::none:
            break;
        }
    }
    const auto choose = [&](const std::optional<std::string>& given, std::size_t& column) {
        if (given)
            column = chosen_column(*given, header);
    };
    choose(choice.o2, columns.o2);
    choose(choice.temperature, columns.temperature);
    choose(choice.co2, columns.co2);
    choose(choice.fuel, columns.fuel);
    choose(choice.air, columns.air);
    choose(choice.analyser, columns.analyser);
    return columns;
}

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

LogStart find_header(ByteSource& source, const ColumnChoice& choice, std::string_view how_read)
{
    Lines lines(source);
    std::optional<char> given_separator;
    Candidate best;
    std::size_t begin = 0;
    std::vector<std::string_view> fields;
    std::uint64_t next_number = 1; // in the file: a quoted field may hold line feeds
    for (std::uint64_t record = 1; record <= max_header_line; ++record) {
        // The header search holds what it reads: no more than one long record's worth.
        Line line{};
        if (begin >= max_record_bytes || !lines.at(begin, line))
            break;
        const std::string_view text(lines.text().data() + line.begin, line.end - line.begin);
        begin = line.next;
        const std::uint64_t number = next_number;
        next_number += 1 + static_cast<std::uint64_t>(std::count(text.begin(), text.end(), '\n'));
        if (const auto separator = separator_line(text)) {
            given_separator = separator;
            continue;
        }
        const char separator = given_separator.value_or(separator_of(text));
        // The fields as the reader of the whole log will read them.
        StringSource rest(std::string_view(lines.text()).substr(line.begin));
        CsvReader reader(rest, separator);
        reader.next(fields);
        const Columns columns = find_columns(fields, choice);
        const int named =
            (columns.o2 != Columns::none ? 1 : 0) + (columns.temperature != Columns::none ? 1 : 0);
        if (named == 2)
            return {std::move(lines.text()), line.begin, number, separator};
        if (named > best.named || (named == best.named && fields.size() > best.fields.size()))
            best = {number, named, columns, {fields.begin(), fields.end()}};
    }
    throw UsageError(missing_columns_message(best, how_read, looks_misdecoded(lines.text())));
}

} // namespace quemador::cli
