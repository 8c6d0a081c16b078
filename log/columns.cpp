// SPDX-License-Identifier: GPL-3.0-or-later
#include "log/columns.h"

#include "calculation/reading_advice.h"
#include "calculation/report.h"
#include "text/names.h"
#include "text/numbers.h"

#include <algorithm>
#include <array>

namespace quemador::log {
namespace {

using text::folded;
using text::trimmed;

constexpr std::array<std::string_view, 3> o2_names = {"o2", "oxigeno", "oxygen"};
constexpr std::array<std::string_view, 3> co2_names = {"co2", "dioxidodecarbono", "carbondioxide"};
constexpr std::array<std::string_view, 4> co_names = {"co", "monoxido", "monoxidodecarbono",
                                                      "carbonmonoxide"};
// The flue gas's temperature by name; a bare "Temperatura" or "T" may be the room's.
constexpr std::array<std::string_view, 32> temperature_names = {"tgas",
                                                                "tgases",
                                                                "thumos",
                                                                "tdehumos",
                                                                "tsalidahumos",
                                                                "tchimenea",
                                                                "temphumos",
                                                                "tempdehumos",
                                                                "tempgas",
                                                                "tempgases",
                                                                "tempchimenea",
                                                                "tempstack",
                                                                "temperaturadehumos",
                                                                "temperaturahumos",
                                                                "temperaturasalidahumos",
                                                                "temperaturadesalidadehumos",
                                                                "temperaturagas",
                                                                "temperaturagases",
                                                                "temperaturadegases",
                                                                "temperaturadelosgases",
                                                                "temperaturadelgas",
                                                                "temperaturachimenea",
                                                                "temperaturadechimenea",
                                                                "stacktemperature",
                                                                "stacktemp",
                                                                "fluegastemperature",
                                                                "fluegastemp",
                                                                "fluetemperature",
                                                                "fluetemp",
                                                                "gastemperature",
                                                                "gastemp",
                                                                "exhausttemperature"};
constexpr std::array<std::string_view, 4> temperature_generic = {"temperatura", "temp", "t",
                                                                 "temperature"};
constexpr std::array<std::string_view, 2> fuel_names = {"combustible", "fuel"};
constexpr std::array<std::string_view, 20> air_names = {"taire",
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
constexpr std::array<std::string_view, 15> analyser_names = {"rendimiento",
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

constexpr std::array<std::string_view, 4> boiler_names = {"caldera", "equipo", "generador",
                                                          "boiler"};
// "Unidad" alone may be a units column: only with a number marker.
constexpr std::array<std::string_view, 6> boiler_marked = {"caldera", "equipo", "generador",
                                                           "unidad",  "boiler", "unit"};
// Number markers, folded: "nº", "n.º" and "#" fold to "n".
constexpr std::array<std::string_view, 9> number_markers = {
    "n", "no", "nro", "num", "numero", "number", "id", "cod", "codigo"};
// A date, or a date and its time in one cell.
constexpr std::array<std::string_view, 7> date_names = {
    "fecha", "date", "fechayhora", "fechahora", "datetime", "timestamp", "dateandtime"};
constexpr std::array<std::string_view, 2> time_names = {"hora", "time"};

const std::array<ColumnKind, column_count> kinds = {{
    {Column::o2,
     "O2",
     "--col-o2",
     "la columna del oxígeno (su encabezado o su número, desde 1)",
     o2_names,
     {}},
    {Column::temperature, "temperatura", "--col-temp", "la columna de la temperatura de humos",
     temperature_names, temperature_generic},
    {Column::co2, "CO2", "--col-co2", "la columna del CO2", co2_names, {}},
    {Column::co,
     "CO",
     "--col-co",
     "la columna del CO, ppm: da co_sin_aire y avisa si el quemador produce CO",
     co_names,
     {}},
    {Column::fuel,
     "combustible",
     "--col-combustible",
     "la columna del combustible",
     fuel_names,
     {}},
    {Column::air,
     "aire",
     "--col-aire",
     "la columna de la temperatura del aire de combustión",
     air_names,
     {}},
    {Column::analyser,
     "eficiencia del analizador",
     "--col-analizador",
     "la columna de la eficiencia que da el analizador",
     analyser_names,
     {}},
    {Column::boiler,
     "caldera",
     "--col-caldera",
     "la columna de la caldera: el resumen y el gráfico, por caldera",
     boiler_names,
     {},
     boiler_marked,
     false},
    {Column::date,
     "fecha",
     "--col-fecha",
     "la columna de la fecha (o de la fecha y la hora): el resumen por mes y el gráfico en el "
     "tiempo",
     date_names,
     {},
     {},
     false},
    {Column::time,
     "hora",
     "--col-hora",
     "la columna de la hora, junto a la de la fecha",
     time_names,
     {},
     {},
     false},
}};

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
        static const std::array<std::string_view, 9> units = {
            "", "pct", "c", "f", "degc", "degf", "celsius", "fahrenheit", "ppm"};
        const std::string word = folded(name.substr(cut + 1));
        if (std::find(units.begin(), units.end(), word) != units.end()) {
            if (unit.empty())
                unit = name.substr(cut + 1);
            name = name.substr(0, cut);
        }
    }
    return {folded(name), folded(unit)};
}

bool one_of(std::string_view key, std::span<const std::string_view> names)
{
    return std::find(names.begin(), names.end(), key) != names.end();
}

// A header's name without a number marker before it ("Nº de caldera", "Id caldera") or
// after it ("Caldera nº", "Unit ID", "Boiler #"), folded; empty when it has none.
std::string unmarked(std::string_view header)
{
    std::string name(header);
    // "#" folds to nothing: it is a marker of its own.
    for (std::size_t at = name.find('#'); at != std::string::npos; at = name.find('#', at))
        name.replace(at, 1, " n ");
    std::vector<std::string> words;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= name.size(); ++i) {
        if (i == name.size() || name[i] == ' ' || name[i] == '_' || name[i] == '.') {
            if (std::string word = folded(std::string_view(name).substr(start, i - start));
                !word.empty())
                words.push_back(std::move(word));
            start = i + 1;
        }
    }
    if (words.size() >= 2 && one_of(words.back(), number_markers))
        words.pop_back();
    else if (words.size() >= 2 && one_of(words.front(), number_markers))
        words.erase(words.begin());
    else
        return {};
    // "Nº de caldera", "Número del equipo".
    if (words.size() == 2 && (words.front() == "de" || words.front() == "del"))
        words.erase(words.begin());
    return words.size() == 1 ? words.front() : std::string();
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

} // namespace

std::span<const ColumnKind> column_kinds() { return kinds; }

const ColumnKind& kind_of(Column column) { return kinds.at(static_cast<std::size_t>(column)); }

std::optional<Named> column_named(std::string_view header)
{
    if (is_result_column(trimmed(header)))
        return std::nullopt;
    const std::string name = split_header(header).name;
    for (const ColumnKind& kind : kinds) {
        if (one_of(name, kind.names))
            return Named{kind.column, false};
        if (one_of(name, kind.generic))
            return Named{kind.column, true};
    }
    if (const std::string word = unmarked(header); !word.empty()) {
        const auto* const marked =
            std::find_if(kinds.begin(), kinds.end(),
                         [&word](const ColumnKind& kind) { return one_of(word, kind.marked); });
        if (marked != kinds.end())
            return Named{marked->column, false};
    }
    // "η", alone or with its unit, has no ASCII letter to fold.
    if (name.empty() && trimmed(header).starts_with("\xCE\xB7"))
        return Named{Column::analyser, false};
    return std::nullopt;
}

bool is_result_column(std::string_view header)
{
    return header == notes_column || figure_named(header).has_value();
}

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

bool is_footer_cell(std::string_view cell)
{
    static const std::array<std::string_view, 24> footers = {"media",
                                                             "promedio",
                                                             "maximo",
                                                             "max",
                                                             "minimo",
                                                             "min",
                                                             "total",
                                                             "totales",
                                                             "suma",
                                                             "mediana",
                                                             "desviacion",
                                                             "desv",
                                                             "desvest",
                                                             "desviaciontipica",
                                                             "desviacionestandar",
                                                             "average",
                                                             "mean",
                                                             "maximum",
                                                             "minimum",
                                                             "sum",
                                                             "median",
                                                             "stddev",
                                                             "deviation",
                                                             "resumen"};
    // Only a cell that begins with a letter can be one; most cells are numbers.
    cell = trimmed(cell);
    constexpr std::size_t longest = 24;
    if (cell.empty() || cell.size() > longest)
        return false;
    const auto first = static_cast<unsigned char>(cell.front());
    if (!((first >= 'A' && first <= 'Z') || (first >= 'a' && first <= 'z') || first == 0xC3))
        return false;
    return one_of(folded(cell), footers);
}

Columns find_columns(const std::vector<std::string_view>& header, const ColumnChoice& choice)
{
    Columns columns;
    std::array<bool, column_count> generic{};
    for (std::size_t i = 0; i < header.size(); ++i) {
        const auto named = column_named(header[i]);
        if (!named)
            continue;
        const auto k = static_cast<std::size_t>(named->column);
        std::size_t& found = columns.index.at(k);
        if (found == Columns::none) {
            found = i;
            generic.at(k) = named->generic;
        } else if (generic.at(k) && !named->generic) {
            columns.passed_over.at(k) = found; // a specific name wins over a generic one
            found = i;
            generic.at(k) = false;
        } else if (generic.at(k) == named->generic) {
            if (columns.rival.at(k) == Columns::none && kinds.at(k).unique)
                columns.rival.at(k) = i;
        } else {
            columns.passed_over.at(k) = i;
        }
    }
    for (std::size_t k = 0; k < column_count; ++k) {
        if (!choice.at(k))
            continue;
        columns.index.at(k) = chosen_column(*choice.at(k), header);
        columns.rival.at(k) = Columns::none;
        columns.passed_over.at(k) = Columns::none;
        if (columns.index.at(k) == Columns::none)
            columns.missing.at(k) = choice.at(k);
    }
    // A generic column passed over is only worth naming while the specific one stands.
    for (std::size_t k = 0; k < column_count; ++k) {
        if (columns.rival.at(k) != Columns::none)
            columns.passed_over.at(k) = Columns::none;
    }
    return columns;
}

std::string column_text(const std::vector<std::string>& header, std::size_t column)
{
    return quoted(header.at(column), 40) + " (" + std::to_string(column + 1) + ")";
}

std::optional<Note> columns_problem(const std::vector<std::string>& header, const Columns& columns)
{
    for (const ColumnKind& kind : kinds) {
        const auto k = static_cast<std::size_t>(kind.column);
        if (columns.missing.at(k)) {
            Note note("no hay columna «" + *columns.missing.at(k) + "» ");
            note.about("columna_elegida_ausente",
                       {{"columna", std::string(kind.option.substr(6))},
                        {"elegida", *columns.missing.at(k)}});
            note += Remedy{Remedy::Ask::for_column, Remedy::Setting::column, {}, kind.column};
            note += " en el encabezado";
            return note;
        }
        if (columns.rival.at(k) != Columns::none) {
            Note note("dos columnas pueden ser de " + std::string(kind.what) + ": " +
                      column_text(header, columns.index.at(k)) + " y " +
                      column_text(header, columns.rival.at(k)) + "; ");
            note += Remedy{Remedy::Ask::which_column, Remedy::Setting::column, {}, kind.column};
            note.about("dos_columnas",
                       {{"columna", std::string(kind.option.substr(6))},
                        {"numeros",
                         std::to_string(columns.index.at(k) + 1) + "," +
                             std::to_string(columns.rival.at(k) + 1)}});
            return note;
        }
    }
    return std::nullopt;
}

std::optional<Fuel> fuel_named(std::string_view name)
{
    const std::string key = folded(name);
    const auto all = fuels();
    const auto named = std::find_if(all.begin(), all.end(), [&key](const FuelFacts& fuel) {
        return std::find(fuel.names.begin(), fuel.names.end(), key) != fuel.names.end();
    });
    return named != all.end() ? std::optional(named->fuel) : std::nullopt;
}

std::string unknown_fuel(std::string_view name)
{
    return "combustible desconocido: " + quoted(name, 40) +
        "; el programa calcula con gas natural o con fuel oil Nº 2 (gasóleo C)";
}

} // namespace quemador::log
