// SPDX-License-Identifier: GPL-3.0-or-later
#include "log/options.h"

#include "calculation/number_text.h"
#include "calculation/reading_advice.h"
#include "text/encoding.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <stdexcept>

namespace quemador::log {
namespace {

constexpr auto in_reading = static_cast<std::uint8_t>(Mode::reading);
constexpr auto in_table = static_cast<std::uint8_t>(Mode::table);
constexpr auto in_log = static_cast<std::uint8_t>(Mode::log);
constexpr std::uint8_t all_modes = in_reading | in_table | in_log;

constexpr std::array<std::string_view, 2> formats = {"texto", "csv"};
constexpr std::array<std::string_view, 4> separators = {",", ";", "\t", "\\t"};
constexpr std::array<std::string_view, 2> bases = {"bruta", "neta"};
constexpr std::array<std::string_view, 3> groupings = {"caldera", "mes", "ninguno"}; // as Grouping

std::vector<OptionSpec> make_specs()
{
    std::vector<OptionSpec> all = {
        {.option = Option::fuel,
         .name = "--combustible",
         .short_name = "-c",
         .argument = "gas|fueloil",
         .help = "gas (gas natural) o fueloil (fuel oil Nº 2); con --csv, el de las filas sin "
                 "columna Combustible",
         .modes = all_modes,
         .kind = ValueKind::choice,
         .unknown = "combustible desconocido",
         .use = "gas o fueloil"},
        {.option = Option::o2,
         .name = "--o2",
         .argument = "O2",
         .help = "oxígeno en los humos, % vol (Orsat); con --tabla, una lista separada por comas",
         .modes = in_reading | in_table,
         .kind = ValueKind::number},
        {.option = Option::co2,
         .name = "--co2",
         .argument = "CO2",
         .help = "CO2 en los humos, % vol (solo para los avisos)",
         .modes = in_reading,
         .kind = ValueKind::number},
        {.option = Option::co,
         .name = "--co",
         .argument = "PPM",
         .help = "CO en los humos, ppm: da el CO sin aire y avisa si el quemador produce CO",
         .modes = in_reading,
         .kind = ValueKind::number},
        {.option = Option::temp,
         .name = "--temp",
         .argument = "T",
         .help = "temperatura de humos, °F (°C con --celsius); con --tabla, una lista o "
                 "desde:hasta:paso",
         .modes = in_reading | in_table,
         .kind = ValueKind::number},
        {.option = Option::celsius,
         .name = "--celsius",
         .help = "temperaturas en °C",
         .modes = all_modes,
         .kind = ValueKind::flag},
        {.option = Option::fahrenheit,
         .name = "--fahrenheit",
         .help = "temperaturas en °F; con --csv, aunque el encabezado o la línea de unidades "
                 "digan °C",
         .modes = all_modes,
         .kind = ValueKind::flag},
        {.option = Option::air,
         .name = "--aire",
         .argument = "T",
         .help = "temperatura del aire de combustión, en °F (°C con --celsius) y con --csv en la "
                 "unidad del registro: da la eficiencia neta con ella y la bruta corregida (sin "
                 "ella se suponen 60 °F)",
         .modes = all_modes,
         .kind = ValueKind::number},
        {.option = Option::target_o2,
         .name = "--objetivo-o2",
         .argument = "O2",
         .help = "O2 de un ajuste del quemador: la eficiencia allí y el combustible ahorrado",
         .modes = in_reading | in_log,
         .kind = ValueKind::number,
         .least = 0.0,
         .below = oxygen_in_air,
         .range = "debe ser al menos {least} y menor que el {below} % del aire"},
        {.option = Option::target_temp,
         .name = "--objetivo-temp",
         .argument = "T",
         .help = "temperatura de humos esperada en ese ajuste, en la unidad de --aire (si no, la "
                 "misma)",
         .modes = in_reading | in_log,
         .kind = ValueKind::number},
        {.option = Option::table,
         .name = "--tabla",
         .help = "imprime una tabla de eficiencias por O2 y temperatura",
         .modes = in_table,
         .kind = ValueKind::flag},
        {.option = Option::format,
         .name = "--formato",
         .argument = "texto|csv",
         .help = "con --tabla: texto (por omisión) o csv",
         .modes = in_table,
         .kind = ValueKind::choice,
         .choices = formats,
         .unknown = "formato desconocido",
         .use = "texto o csv"},
        {.option = Option::separator,
         .name = "--separador",
         .argument = "SEP",
         .help = "con --tabla --formato csv: el separador (, ; o \\t); con ; las cifras llevan "
                 "coma decimal",
         .modes = in_table,
         .kind = ValueKind::choice,
         .choices = separators,
         .unknown = "separador no válido",
         .use = ", ; o \\t"},
        {.option = Option::base,
         .name = "--base",
         .argument = "bruta|neta",
         .help = "con --tabla: bruta (por omisión, sobre el PCS) o neta (Siegert, sobre el PCI)",
         .modes = in_table,
         .kind = ValueKind::choice,
         .choices = bases,
         .unknown = "base desconocida",
         .use = "bruta o neta"},
        {.option = Option::figures,
         .name = "--cifras",
         .argument = "CIFRAS",
         .help = "con --csv o --tabla: las cifras que se escriben, por su nombre y separadas por "
                 "comas (exceso_aire, eficiencia, lambda, eficiencia_neta, perdidas_humos, "
                 "eficiencia_corregida, eficiencia_objetivo, ahorro_combustible, co_sin_aire)",
         .modes = in_table | in_log,
         .kind = ValueKind::figures,
         .unknown = "cifra desconocida"},
        {.option = Option::csv,
         .name = "--csv",
         .argument = "ARCHIVO",
         .help = "lee un registro CSV (- para la entrada estándar) y lo escribe en la salida con "
                 "exceso_aire, eficiencia, eficiencia_neta y aviso; repetida, lee varios como un "
                 "solo registro (un año en archivos de un mes), cada uno con su encabezado, y "
                 "escribe los resultados de cada uno en la carpeta de --salida",
         .modes = in_log,
         .kind = ValueKind::text,
         .repeated = true},
        {.option = Option::encoding,
         .name = "--codificacion",
         .argument = "utf-8|utf-16|windows-1252",
         .help = "con --csv: la codificación del archivo, si no se deduce bien",
         .modes = in_log,
         .kind = ValueKind::choice,
         .unknown = "codificación desconocida",
         .use = "utf-8, utf-16 o windows-1252"},
        {.option = Option::date_order,
         .name = "--formato-fecha",
         .argument = "dd/mm|mm/dd|aaaa-mm-dd",
         .help = "con --csv: cómo escribe el registro sus fechas de números, si no se deduce "
                 "bien (si ninguna tiene un día mayor que 12, se leen dd/mm)",
         .modes = in_log,
         .kind = ValueKind::choice,
         .choices = order_names,
         .unknown = "formato de fecha desconocido",
         .use = "dd/mm, mm/dd o aaaa-mm-dd"},
    };
    const auto kinds = column_kinds();
    std::transform(kinds.begin(), kinds.end(), std::back_inserter(all), [](const ColumnKind& kind) {
        return OptionSpec{.option = Option::column,
                          .column = kind.column,
                          .name = kind.option,
                          .argument = "COL",
                          .help = "con --csv: " + std::string(kind.help),
                          .modes = in_log,
                          .kind = ValueKind::text};
    });
    all.push_back({.option = Option::all_results,
                   .name = "--todos",
                   .help = "con --csv: escribe también los resultados de lecturas fuera de rango",
                   .modes = in_log,
                   .kind = ValueKind::flag});
    all.push_back({.option = Option::summary,
                   .name = "--resumen",
                   .argument = "ARCHIVO",
                   .help = "con --csv: escribe también el resumen del registro en este archivo CSV",
                   .modes = in_log,
                   .kind = ValueKind::text});
    all.push_back({.option = Option::grouping,
                   .name = "--agrupar",
                   .argument = "caldera|mes|ninguno",
                   .help = "con --csv: el resumen por caldera (por omisión, si el registro "
                           "tiene esa columna), por mes (de cada caldera) o solo del registro "
                           "entero",
                   .modes = in_log,
                   .kind = ValueKind::choice,
                   .choices = groupings,
                   .unknown = "agrupación desconocida",
                   .use = "caldera, mes o ninguno"});
    all.push_back({.option = Option::chart,
                   .name = "--grafico",
                   .argument = "ARCHIVO",
                   .help = "con --csv: dibuja en este archivo SVG un panel por caldera, con "
                           "la eficiencia bruta y neta arriba y el O2 abajo (la media por "
                           "semana o mes, con su banda de mínima a máxima, si hay muchas filas)",
                   .modes = in_log,
                   .kind = ValueKind::text});
    all.push_back({.option = Option::alert_drop,
                   .name = "--alerta-caida",
                   .argument = "PUNTOS",
                   .help = "con --csv: alerta de la caldera cuya eficiencia bruta media de un mes "
                           "cae más de estos puntos bajo la de sus tres primeros meses",
                   .modes = in_log,
                   .kind = ValueKind::number,
                   .least = 0.0,
                   .below = 100.0,
                   .range = "debe ser al menos {least} y menor que {below}"});
    all.push_back({.option = Option::minimum,
                   .name = "--minimo",
                   .argument = "EFICIENCIA",
                   .help = "con --csv: alerta de la caldera cuya eficiencia bruta media de un mes "
                           "queda por debajo de esta (%)",
                   .modes = in_log,
                   .kind = ValueKind::number,
                   .least = 0.0,
                   .below = 100.0,
                   .range = "debe ser al menos {least} y menor que {below}"});
    all.push_back({.option = Option::consumption,
                   .name = "--consumos",
                   .argument = "ARCHIVO",
                   .help = "con --csv y --objetivo-o2: un CSV de caldera, consumo anual y precio "
                           "(en kWh y €/kWh, o en MWh, GJ, €/MWh o €/GJ si el encabezado lo "
                           "dice; miles con punto o coma); da los kWh y euros al año que "
                           "ahorraría llegar al objetivo",
                   .modes = in_log,
                   .kind = ValueKind::text});
    all.push_back({.option = Option::report,
                   .name = "--informe",
                   .argument = "ARCHIVO",
                   .help = "con --csv: escribe un informe PDF: el veredicto por caldera, las "
                           "alertas y el ahorro, y una página por caldera con su panel y sus "
                           "meses",
                   .modes = in_log,
                   .kind = ValueKind::text});
    all.push_back({.option = Option::json,
                   .name = "--json",
                   .argument = "ARCHIVO",
                   .help = "con --csv: escribe en este archivo (- para la salida estándar, con "
                           "--salida) lo que halló la ejecución como un documento JSON: cada "
                           "registro con su estado, sus filas contadas por lo que fue de ellas "
                           "(peligrosas por CO, dudosas, fuera de rango), sus columnas y sus "
                           "notas; los resultados, los grupos, el veredicto y las salidas "
                           "escritas",
                   .modes = in_log,
                   .kind = ValueKind::text});
    all.push_back({.option = Option::output,
                   .name = "--salida",
                   .argument = "CARPETA",
                   .help = "con --csv: escribe los resultados de cada registro en esta carpeta, "
                           "como NOMBRE-resultados.csv, en vez de en la salida estándar",
                   .modes = in_log,
                   .kind = ValueKind::text});
    all.push_back({.option = Option::threads,
                   .name = "--hilos",
                   .argument = "N",
                   .help = "con --csv: los hilos que leen el registro (por omisión, uno por "
                           "núcleo de la máquina; con 1 no se abre ninguno)",
                   .modes = in_log,
                   .kind = ValueKind::number,
                   .least = 1.0,
                   .below = 257.0,
                   .whole = true,
                   .range = "debe ser un número entero de 1 a 256"});
    all.push_back({.option = Option::quiet,
                   .name = "--silencio",
                   .short_name = "-q",
                   .help = "en la salida de error, solo los errores: sin resúmenes, avisos ni "
                           "la lista de lo escrito",
                   .modes = all_modes,
                   .kind = ValueKind::flag});
    return all;
}

const std::vector<OptionSpec>& specs()
{
    static const std::vector<OptionSpec> all = make_specs();
    return all;
}

// Figures' ids separated by commas, each known and named once.
void read_figures(std::string_view text, OptionValue& value)
{
    for (;;) {
        const auto comma = text.find(',');
        const std::string_view id = text::trimmed(text.substr(0, comma));
        const auto figure = figure_named(id);
        if (!figure ||
            std::find(value.figures.begin(), value.figures.end(), *figure) != value.figures.end()) {
            value.fault = OptionFault{OptionFault::Kind::unknown, std::string(id)};
            return;
        }
        value.figures.push_back(*figure);
        if (comma == std::string_view::npos)
            return;
        text.remove_prefix(comma + 1);
    }
}

void replace(std::string& text, std::string_view placeholder, const std::string& with)
{
    if (const auto at = text.find(placeholder); at != std::string::npos)
        text.replace(at, placeholder.size(), with);
}

} // namespace

std::span<const OptionSpec> option_specs() { return specs(); }

const OptionSpec& spec_of(Option option)
{
    const auto& all = specs();
    const auto at = std::find_if(
        all.begin(), all.end(), [option](const OptionSpec& spec) { return spec.option == option; });
    if (at == all.end() || option == Option::column)
        throw std::logic_error("an option without its declaration");
    return *at;
}

const OptionSpec& column_spec(Column column)
{
    const auto& all = specs();
    return *std::find_if(all.begin(), all.end(),
                         [column](const OptionSpec& spec) { return spec.column == column; });
}

OptionValue read_option(const OptionSpec& spec, std::string_view text)
{
    OptionValue value;
    const auto fault = [&](OptionFault::Kind kind) {
        value.fault = OptionFault{kind, std::string(text)};
    };
    switch (spec.kind) {
    case ValueKind::number:
        if (!text::parse_number(text, text::DecimalComma::accepted, value.number))
            fault(OptionFault::Kind::not_a_number);
        else if (!(value.number >= spec.least && value.number < spec.below) ||
                 (spec.whole && value.number != std::floor(value.number)))
            fault(OptionFault::Kind::out_of_range);
        break;
    case ValueKind::choice: {
        // The fuels and the encodings go by more names than their choices show.
        if (spec.option == Option::fuel) {
            const auto fuel = fuel_named(text);
            value.choice = static_cast<std::size_t>(fuel.value_or(Fuel::natural_gas));
            if (!fuel)
                fault(OptionFault::Kind::unknown);
            break;
        }
        if (spec.option == Option::encoding) {
            const auto encoding = text::encoding_named(text);
            value.choice = static_cast<std::size_t>(encoding.value_or(text::Encoding::utf8));
            if (!encoding)
                fault(OptionFault::Kind::unknown);
            break;
        }
        const auto at = std::find(spec.choices.begin(), spec.choices.end(), text);
        value.choice = static_cast<std::size_t>(at - spec.choices.begin());
        if (at == spec.choices.end())
            fault(OptionFault::Kind::unknown);
        break;
    }
    case ValueKind::figures:
        read_figures(text, value);
        break;
    case ValueKind::flag:
    case ValueKind::text:
        break;
    }
    return value;
}

Grouping grouping_chosen(const OptionValue& value)
{
    // In the order of the choices: caldera, mes, ninguno.
    return std::array{Grouping::boiler, Grouping::month, Grouping::none}.at(value.choice);
}

DateOrder date_order_chosen(const OptionValue& value)
{
    // The choices are order_names, by DateOrder.
    return static_cast<DateOrder>(value.choice);
}

std::string range_text(const OptionSpec& spec, text::DecimalComma comma)
{
    std::string text(spec.range);
    for (const auto& [placeholder, bound] :
         {std::pair{"{least}", spec.least}, std::pair{"{below}", spec.below}}) {
        std::string number = plain_number(bound);
        replace(text, placeholder, std::string(text::in_file(number, comma)));
    }
    return text;
}

} // namespace quemador::log
