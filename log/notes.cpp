// SPDX-License-Identifier: GPL-3.0-or-later
#include "log/notes.h"

#include "text/names.h"

namespace quemador::log {
namespace {

constexpr std::size_t none = Columns::none;

std::string unit_text(std::pair<TemperatureUnit, UnitSource> unit)
{
    const std::string name = unit.first == TemperatureUnit::celsius ? "°C" : "°F";
    switch (unit.second) {
    case UnitSource::option:
        return "en " + name +
            (unit.first == TemperatureUnit::celsius ? " por --celsius" : " por --fahrenheit");
    case UnitSource::units_line:
        return "en " + name + " según la línea de unidades";
    case UnitSource::header:
        return "en " + name + " según el encabezado";
    case UnitSource::none:
        break;
    }
    return "sin unidad: °F";
}

} // namespace

std::string separator_name(char separator)
{
    return separator == '\t' ? "tabulador" : "«" + std::string(1, separator) + "»";
}

std::string columns_note(const Section& section, const LogOptions& options)
{
    const std::vector<std::string>& header = section.header();
    const Columns& columns = section.columns();
    std::string note = "columnas:";
    for (const ColumnKind& kind : column_kinds()) {
        const auto k = static_cast<std::size_t>(kind.column);
        std::string said;
        if (columns.has(kind.column))
            said = std::string(kind.what) + " " + column_text(header, columns[kind.column]);
        if (kind.column == Column::temperature) {
            said.append(" ").append(unit_text(section.unit()));
            if (columns.passed_over.at(k) != none)
                said += " (no " + column_text(header, columns.passed_over.at(k)) +
                    ", que no dice de qué es)";
        } else if (kind.column == Column::co2 && said.empty()) {
            said = "sin CO2";
        } else if (kind.column == Column::air && said.empty() && !options.air) {
            said = "sin aire: la eficiencia neta supone 60 °F";
        }
        if (!said.empty())
            note += (note.back() == ':' ? " " : ", ") + said;
    }
    if (options.fuel)
        note += std::string(columns.has(Column::fuel) ? " (si falta, " : ", combustible: ") +
            std::string(facts(*options.fuel).name) + (columns.has(Column::fuel) ? ")" : "");
    return note;
}

std::vector<std::string> first_rows_notes(const Section& section)
{
    std::vector<std::string> notes;
    const FirstRows& first = section.first();
    if (section.celsius_looking())
        notes.push_back("la temperatura no dice su unidad y se lee en °F, pero " +
                        std::to_string(first.below_boiling) + " de las primeras " +
                        std::to_string(first.temperatures) +
                        " lecturas están por debajo de 212: si son °C, repita con --celsius "
                        "(cada fila lo dice en aviso)");
    if (section.o2_fraction())
        notes.push_back("las primeras " + std::to_string(first.o2.size()) +
                        " lecturas de O2 son todas menores que 1: parecen fracciones, no %; "
                        "multiplique la columna por 100 (cada fila lo dice en aviso)");
    return notes;
}

std::string how_read(const text::DecodingSource& decoded)
{
    return std::string(text::encoding_name(decoded.encoding())) +
        (decoded.had_bom() ? " con BOM" : "");
}

void encoding_notes(const text::DecodingSource& decoded, const text::EncodingSink& sink,
                    LogSummary& summary)
{
    const std::string name(text::encoding_name(decoded.encoding()));
    if (decoded.replaced() > 0)
        summary.notes.push_back(std::to_string(decoded.replaced()) +
                                " bytes no son caracteres en " + name +
                                " y se leyeron como «\xEF\xBF\xBD»");
    if (decoded.not_utf8() > 0)
        summary.notes.push_back(std::to_string(decoded.not_utf8()) +
                                " bytes no son utf-8 y se copian como están; si el archivo es "
                                "windows-1252, repita con --codificacion windows-1252");
    if (decoded.utf8_looking() > 0)
        summary.notes.emplace_back("hay texto que parece utf-8 leído como windows-1252; si el "
                                   "archivo es utf-8, repita con --codificacion utf-8");
    if (sink.encoding() && *sink.encoding() != decoded.encoding())
        summary.notes.push_back("la salida se escribe en " +
                                std::string(text::encoding_name(*sink.encoding())) +
                                ": se empezó a escribir antes de saber que el registro es " + name);
    if (sink.approximated() > 0)
        summary.notes.push_back(
            std::to_string(sink.approximated()) + " caracteres se escribieron aproximados: " +
            std::string(text::encoding_name(sink.encoding().value_or(decoded.encoding()))) +
            " no los tiene");
}

} // namespace quemador::log
