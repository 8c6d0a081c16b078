// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/options.h"

#include "log/columns.h"

#include <algorithm>
#include <iterator>
#include <stdexcept>

namespace quemador::cli {
namespace {

std::vector<OptionSpec> make_specs()
{
    std::vector<OptionSpec> specs = {
        {"-c,--combustible", "gas|fueloil",
         "gas (gas natural) o fueloil (fuel oil Nº 2); con --csv, el de las filas sin columna "
         "Combustible"},
        {"--o2", "VALOR",
         "oxígeno en los humos, % vol (Orsat); con --tabla, una lista separada por comas"},
        {"--co2", "VALOR", "CO2 en los humos, % vol (solo para los avisos)"},
        {"--co", "PPM",
         "CO en los humos, ppm: da el CO sin aire y avisa si el quemador produce CO"},
        {"--temp", "VALOR",
         "temperatura de humos, °F (°C con --celsius); con --tabla, una lista o "
         "desde:hasta:paso"},
        {"--celsius", "", "temperaturas en °C"},
        {"--fahrenheit", "",
         "temperaturas en °F; con --csv, aunque el encabezado o la línea de unidades digan °C"},
        {"--aire", "T",
         "temperatura del aire de combustión, en °F (°C con --celsius) y con --csv en la "
         "unidad del registro: da la eficiencia neta con ella y la bruta corregida (sin ella "
         "se suponen 60 °F)"},
        {"--objetivo-o2", "VALOR",
         "O2 de un ajuste del quemador: la eficiencia allí y el combustible ahorrado"},
        {"--objetivo-temp", "T",
         "temperatura de humos esperada en ese ajuste, en la unidad de --aire (si no, la "
         "misma)"},
        {"--tabla", "", "imprime una tabla de eficiencias por O2 y temperatura"},
        {"--formato", "texto|csv", "con --tabla: texto (por omisión) o csv"},
        {"--separador", "SEP",
         "con --tabla --formato csv: el separador (, ; o \\t); con ; las cifras llevan coma "
         "decimal"},
        {"--base", "bruta|neta",
         "con --tabla: bruta (por omisión, sobre el PCS) o neta (Siegert, sobre el PCI)"},
        {"--csv", "ARCHIVO",
         "lee un registro CSV (- para la entrada estándar) y lo escribe en la salida con "
         "exceso_aire, eficiencia, eficiencia_neta y aviso"},
        {"--codificacion", "utf-8|utf-16|windows-1252",
         "con --csv: la codificación del archivo, si no se deduce bien"},
        {"--formato-fecha", "dd/mm|mm/dd|aaaa-mm-dd",
         "con --csv: cómo escribe el registro sus fechas de números, si no se deduce bien (si "
         "ninguna tiene un día mayor que 12, se leen dd/mm)"},
    };
    const auto kinds = log::column_kinds();
    std::transform(kinds.begin(), kinds.end(), std::back_inserter(specs),
                   [](const log::ColumnKind& kind) {
                       return OptionSpec{std::string(kind.option), "COLUMNA",
                                         "con --csv: " + std::string(kind.help)};
                   });
    specs.push_back({"--todos", "",
                     "con --csv: escribe también los resultados de lecturas fuera "
                     "de rango"});
    specs.push_back({"--resumen", "ARCHIVO",
                     "con --csv: escribe también el resumen del registro en este archivo CSV"});
    specs.push_back({"--agrupar", "caldera|mes|ninguno",
                     "con --csv: el resumen por caldera (por omisión, si el registro tiene esa "
                     "columna), por mes (de cada caldera) o solo del registro entero"});
    specs.push_back({"--grafico", "ARCHIVO",
                     "con --csv: dibuja la eficiencia bruta y neta y el O2 de cada fila en este "
                     "archivo SVG"});
    return specs;
}

// An option's name, checked against the list: a misspelt one fails at its first use.
std::string option(std::string_view name)
{
    const auto& specs = option_specs();
    if (std::none_of(specs.begin(), specs.end(),
                     [name](const OptionSpec& spec) { return spec.name() == name; }))
        throw std::logic_error("no such option: " + std::string(name));
    return std::string(name);
}

} // namespace

std::string remedy_words(const log::Remedy& remedy)
{
    using Ask = log::Remedy::Ask;
    using Setting = log::Remedy::Setting;
    const std::string column(log::kind_of(remedy.column).option);
    const std::string unit = option(remedy.value == "°C" ? "--celsius" : "--fahrenheit");
    switch (remedy.ask) {
    case Ask::set:
        if (remedy.setting == Setting::unit)
            return "repita con " + unit;
        return "repita con " +
            option(remedy.setting == Setting::encoding ? "--codificacion" : "--formato-fecha") +
            " " + remedy.value;
    case Ask::give:
        return remedy.setting == Setting::fuel
            ? "indique " + option("--combustible")
            : "désela con " + option("--codificacion") + " utf-8, utf-16 o windows-1252";
    case Ask::set_by:
        return "por " + (remedy.setting == Setting::unit ? unit : option("--formato-fecha"));
    case Ask::name_column:
        return "nómbrela con " + column;
    case Ask::which_column:
        return "diga cuál con " + column + " (nombre o número)";
    case Ask::for_column:
        return "para " + column;
    case Ask::name_readings:
        break;
    }
    return "diga qué columna es cada lectura con " + option("--col-o2") + " y " +
        option("--col-temp") + " (nombre o número)";
}

std::string_view OptionSpec::name() const
{
    const std::string_view all = names;
    return all.substr(all.rfind(',') == std::string_view::npos ? 0 : all.rfind(',') + 1);
}

const std::vector<OptionSpec>& option_specs()
{
    static const std::vector<OptionSpec> specs = make_specs();
    return specs;
}

Given::Given()
    : values_(option_specs().size()), flags_(option_specs().size()), taken_(option_specs().size())
{
}

std::size_t Given::index_of(std::string_view name)
{
    const auto& specs = option_specs();
    const auto at = std::find_if(specs.begin(), specs.end(),
                                 [name](const OptionSpec& spec) { return spec.name() == name; });
    if (at == specs.end())
        throw std::logic_error("no such option: " + std::string(name));
    return static_cast<std::size_t>(at - specs.begin());
}

std::optional<std::string> Given::text(std::string_view name)
{
    const std::size_t i = index_of(name);
    taken_.at(i) = true;
    return values_.at(i);
}

bool Given::is_set(std::string_view name)
{
    const std::size_t i = index_of(name);
    taken_.at(i) = true;
    return flags_.at(i);
}

bool Given::has(std::string_view name) const
{
    const std::size_t i = index_of(name);
    return values_.at(i).has_value() || flags_.at(i);
}

std::vector<std::string> Given::not_taken() const
{
    std::vector<std::string> left;
    const auto& specs = option_specs();
    for (std::size_t i = 0; i < specs.size(); ++i) {
        if ((values_.at(i) || flags_.at(i)) && !taken_.at(i))
            left.emplace_back(specs.at(i).name());
    }
    return left;
}

} // namespace quemador::cli
