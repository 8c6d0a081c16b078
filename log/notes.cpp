// SPDX-License-Identifier: GPL-3.0-or-later
#include "log/notes.h"

#include "calculation/reading_advice.h"
#include "text/names.h"

namespace quemador::log {
namespace {

using Ask = Remedy::Ask;
using Setting = Remedy::Setting;

constexpr std::size_t none = Columns::none;
// A cell quoted in a note, at most.
constexpr std::size_t quoted_bytes = 40;

std::string rows_text(std::uint64_t count)
{
    return std::to_string(count) + (count == 1 ? " fila" : " filas");
}

std::string unit_name(TemperatureUnit unit)
{
    return unit == TemperatureUnit::celsius ? "°C" : "°F";
}

// The unit of a section's temperatures and where it comes from.
void unit_text(Note& note, std::pair<TemperatureUnit, UnitSource> unit)
{
    const std::string name = unit_name(unit.first);
    switch (unit.second) {
    case UnitSource::option:
        note += "en " + name + " ";
        note += Remedy{Ask::set_by, Setting::unit, name};
        return;
    case UnitSource::units_line:
        note += "en " + name + " según la línea de unidades";
        return;
    case UnitSource::header:
        note += "en " + name + " según el encabezado";
        return;
    case UnitSource::none:
        break;
    }
    note += "sin unidad: °F";
}

// An order of a date's numbers as the notes say it.
std::string order_text(DateOrder order)
{
    switch (order) {
    case DateOrder::day_first:
        return "el día primero (dd/mm)";
    case DateOrder::month_first:
        return "el mes primero (mm/dd)";
    case DateOrder::year_first:
        break;
    }
    return "el año primero (aaaa-mm-dd)";
}

// Where a date column's order comes from: "se pidió" or the line that shows it.
std::string order_source(const DateColumn& dates)
{
    return dates.given() ? "como se pidió"
                         : "como muestra la línea " + std::to_string(dates.settled_line());
}

} // namespace

std::string separator_name(char separator)
{
    return separator == '\t' ? "tabulador" : "«" + std::string(1, separator) + "»";
}

std::string how_read(const text::DecodingSource& decoded)
{
    return std::string(text::encoding_name(decoded.encoding())) +
        (decoded.had_bom() ? " con BOM" : "");
}

Note read_note(const text::DecodingSource& decoded, char separator, std::uint64_t header_line,
               std::uint64_t units_line)
{
    std::string note = "leído como " + how_read(decoded) + ", separador " +
        separator_name(separator) + "; encabezado en la línea " + std::to_string(header_line);
    if (units_line > 0)
        note += ", unidades en la línea " + std::to_string(units_line);
    return Note(note).about("lectura",
                            {{"codificacion", std::string(text::encoding_name(decoded.encoding()))},
                             {"bom", std::uint64_t{decoded.had_bom() ? 1U : 0U}},
                             {"separador", std::string(1, separator)},
                             {"linea_encabezado", header_line},
                             {"linea_unidades", units_line}});
}

Note columns_note(const Section& section, const LogOptions& options)
{
    const std::vector<std::string>& header = section.header();
    const Columns& columns = section.columns();
    Note note("columnas:");
    note.about("columnas", {{"linea", section.line()}});
    bool first = true;
    for (const ColumnKind& kind : column_kinds()) {
        const auto k = static_cast<std::size_t>(kind.column);
        const std::string between = first ? " " : ", ";
        if (columns.has(kind.column)) {
            note +=
                between + std::string(kind.what) + " " + column_text(header, columns[kind.column]);
            first = false;
        }
        if (kind.column == Column::temperature) {
            note += " ";
            unit_text(note, section.unit());
            if (columns.passed_over.at(k) != none)
                note += " (no " + column_text(header, columns.passed_over.at(k)) +
                    ", que no dice de qué es)";
        } else if (kind.column == Column::co2 && !columns.has(kind.column)) {
            note += between + "sin CO2";
        } else if (kind.column == Column::air && !columns.has(kind.column) && !options.air) {
            note += between + "sin aire: la eficiencia neta supone 60 °F";
        } else if (kind.column == Column::date && columns.has(kind.column) && options.date_order) {
            note += " en " + std::string(order_name(*options.date_order)) + " ";
            note += Remedy{Ask::set_by, Setting::date_order,
                           std::string(order_name(*options.date_order))};
        }
    }
    if (options.fuel)
        note += std::string(columns.has(Column::fuel) ? " (si falta, " : ", combustible: ") +
            std::string(facts(*options.fuel).name) + (columns.has(Column::fuel) ? ")" : "");
    return note;
}

std::vector<Note> first_rows_notes(const Section& section)
{
    std::vector<Note> notes;
    const FirstRows& first = section.first();
    if (section.celsius_looking()) {
        Note note("la temperatura no dice su unidad y se lee en °F, pero " +
                  std::to_string(first.below_boiling) + " de las primeras " +
                  std::to_string(first.temperatures) +
                  " lecturas están por debajo de 212: si son °C, ");
        note += Remedy{Ask::set, Setting::unit, "°C"};
        note += " (cada fila lo dice en aviso)";
        note.about("temperatura_parece_celsius",
                   {{"bajo_212", first.below_boiling}, {"lecturas", first.temperatures}});
        notes.push_back(std::move(note));
    }
    if (section.o2_fraction())
        notes.push_back(
            Note("las primeras " + std::to_string(first.o2.size()) +
                 " lecturas de O2 son todas menores que 1: parecen fracciones, no %; "
                 "multiplique la columna por 100 (cada fila lo dice en aviso)")
                .about("o2_en_fraccion", {{"lecturas", std::uint64_t{first.o2.size()}}}));
    if (first.boiler_like != none) {
        std::string names;
        for (const std::string& name : first.boiler_names)
            names += (names.empty() ? "" : ", ") + quoted(name, quoted_bytes);
        Note note("la columna " + column_text(section.header(), first.boiler_like) +
                  " parece nombrar calderas (" + names +
                  "), y no hay columna de caldera: el resumen y el gráfico no las separan; si "
                  "lo es, ");
        note += Remedy{Ask::name_column, Setting::column, {}, Column::boiler};
        note.about("columna_parece_caldera",
                   {{"columna", std::uint64_t{first.boiler_like + 1}},
                    {"encabezado", section.header().at(first.boiler_like)}});
        notes.push_back(std::move(note));
    }
    return notes;
}

std::vector<Note> later_header_notes(const Section& section, std::uint64_t units_line,
                                     const LogOptions& options)
{
    std::string said = "otro encabezado en la línea " + std::to_string(section.line());
    if (units_line > 0)
        said += ", unidades en la línea " + std::to_string(units_line);
    if (section.problem()) {
        Note note(said + ": ");
        note.append(*section.problem());
        note += "; sus filas no se calculan";
        note.about("encabezado_sin_calcular", {{"linea", section.line()}});
        return {note};
    }
    Note note(said + "; ");
    note.append(columns_note(section, options));
    std::vector<Note> notes = first_rows_notes(section);
    notes.insert(notes.begin(), std::move(note));
    return notes;
}

Note repeated_headers_note(std::uint64_t count, std::uint64_t first_line)
{
    return Note("el encabezado se repite " + std::to_string(count) +
                (count == 1 ? " vez" : " veces") + " (la primera, en la línea " +
                std::to_string(first_line) + "): se copia como está")
        .about("encabezado_repetido", {{"veces", count}, {"linea", first_line}});
}

Note footers_note(std::uint64_t count, std::string_view first, std::uint64_t line)
{
    return Note(std::to_string(count) + (count == 1 ? " fila de totales" : " filas de totales") +
                " («" + std::string(first) + "», la primera en la línea " + std::to_string(line) +
                ") copiadas sin calcular: no son lecturas")
        .about("filas_de_totales",
               {{"filas", count}, {"primera", std::string(first)}, {"linea", line}});
}

void encoding_notes(const text::DecodingSource& decoded, const text::EncodingSink& sink,
                    LogSummary& summary)
{
    const std::string name(text::encoding_name(decoded.encoding()));
    if (decoded.replaced() > 0)
        summary.notes.push_back(
            Note(std::to_string(decoded.replaced()) + " bytes no son caracteres en " + name +
                 " y se leyeron como «\xEF\xBF\xBD»")
                .about("bytes_no_caracteres",
                       {{"bytes", std::uint64_t{decoded.replaced()}}, {"codificacion", name}}));
    if (decoded.not_utf8() > 0) {
        Note note(std::to_string(decoded.not_utf8()) +
                  " bytes no son utf-8 y se copian como están; si el archivo es windows-1252, ");
        note += Remedy{Ask::set, Setting::encoding, "windows-1252"};
        note.about("bytes_no_utf8", {{"bytes", std::uint64_t{decoded.not_utf8()}}});
        summary.notes.push_back(std::move(note));
    }
    if (decoded.utf8_looking() > 0) {
        Note note("hay texto que parece utf-8 leído como windows-1252; si el archivo es utf-8, ");
        note += Remedy{Ask::set, Setting::encoding, "utf-8"};
        note.about("parece_utf8");
        summary.notes.push_back(std::move(note));
    }
    if (sink.encoding() && *sink.encoding() != decoded.encoding())
        summary.notes.push_back(
            Note("la salida se escribe en " + std::string(text::encoding_name(*sink.encoding())) +
                 ": se empezó a escribir antes de saber que el registro es " + name)
                .about("salida_en_otra_codificacion",
                       {{"salida", std::string(text::encoding_name(*sink.encoding()))},
                        {"registro", name}}));
    if (sink.approximated() > 0)
        summary.notes.push_back(
            Note(std::to_string(sink.approximated()) + " caracteres se escribieron aproximados: " +
                 std::string(text::encoding_name(sink.encoding().value_or(decoded.encoding()))) +
                 " no los tiene")
                .about("caracteres_aproximados",
                       {{"caracteres", std::uint64_t{sink.approximated()}}}));
}

void FirstOf::add(std::uint64_t at, std::string_view text)
{
    if (count++ > 0)
        return;
    line = at;
    cell = std::string(text::trimmed(text));
}

Note undated_note(const FirstOf& undated, bool months, bool charted)
{
    std::string note = std::to_string(undated.count) +
        (undated.count == 1 ? " fila sin fecha legible" : " filas sin fecha legible") +
        " (la primera en la línea " + std::to_string(undated.line) +
        (undated.cell.empty() ? ", vacía" : ": " + quoted(undated.cell, quoted_bytes)) + ")";
    if (months)
        note += undated.count == 1 ? ": va en el mes (sin fecha)" : ": van en el mes (sin fecha)";
    if (charted)
        note += months ? " y no entra en el gráfico" : ": no entra en el gráfico";
    return Note(note).about(
        "filas_sin_fecha",
        {{"filas", undated.count}, {"linea", undated.line}, {"celda", undated.cell}});
}

Note misdated_note(const FirstOf& misdated, const DateColumn& dates, std::string_view column)
{
    return Note(rows_text(misdated.count) + " con la fecha en otro orden que la columna " +
                quoted(column, quoted_bytes) + ", que va con " + order_text(*dates.order()) + " " +
                order_source(dates) + " (la primera en la línea " + std::to_string(misdated.line) +
                ": " + quoted(misdated.cell, quoted_bytes) +
                "): " + (misdated.count == 1 ? "queda" : "quedan") + " sin fecha")
        .about("fechas_en_otro_orden",
               {{"filas", misdated.count},
                {"linea", misdated.line},
                {"celda", misdated.cell},
                {"orden", std::string(order_name(*dates.order()))}});
}

std::string misdated_row(std::string_view cell, const DateColumn& dates)
{
    const DateOrder order = *dates.order();
    const std::string own = order == DateOrder::year_first ? "el año al final"
        : order == DateOrder::day_first                    ? order_text(DateOrder::month_first)
                                                           : order_text(DateOrder::day_first);
    return "La fecha " + quoted(text::trimmed(cell), quoted_bytes) + " va con " + own +
        ", y la columna va con " + order_text(order) + " " + order_source(dates) +
        ": la fila queda sin fecha.";
}

std::vector<Note> date_order_notes(const DateColumn& dates, std::string_view column)
{
    if (dates.given())
        return {};
    if (dates.order() == DateOrder::month_first)
        return {Note("las fechas de " + quoted(column, quoted_bytes) + " van con " +
                     order_text(DateOrder::month_first) + ", " + order_source(dates))
                    .about("fechas_mes_primero",
                           {{"columna", std::string(column)},
                            {"linea", std::uint64_t{dates.settled_line()}}})};
    if (dates.order() || !dates.ambiguous())
        return {};
    Note note("las fechas de " + quoted(column, quoted_bytes) + " se leen con " +
              order_text(DateOrder::day_first) +
              ": ninguna tiene un número mayor que 12 que diga cuál es el día; si van con el "
              "mes primero, ");
    note += Remedy{Ask::set, Setting::date_order, std::string(order_name(DateOrder::month_first))};
    note.about("fechas_dia_primero_supuesto", {{"columna", std::string(column)}});
    return {note};
}

Note spellings_note(std::string_view first, std::string_view other, std::uint64_t more)
{
    std::string note = quoted(other, quoted_bytes) + " se cuenta como " +
        quoted(first, quoted_bytes) +
        ": los nombres de caldera que solo difieren en mayúsculas, acentos o blancos alrededor "
        "son una misma caldera";
    if (more > 0)
        note += " (" + std::to_string(more) +
            (more == 1 ? " nombre más escrito de otra forma)"
                       : " nombres más escritos de otra forma)");
    return Note(note).about(
        "caldera_escrita_de_otra_forma",
        {{"caldera", std::string(first)}, {"otra", std::string(other)}, {"mas", more}});
}

Note by_line_note()
{
    return Note("ninguna fila tiene una fecha legible: el gráfico va por la línea del registro")
        .about("grafico_por_linea");
}

Note no_fuel_note()
{
    Note note("falta el combustible: ");
    note += Remedy{Ask::give, Setting::fuel, {}};
    note += " o añada una columna Combustible";
    return note.about("falta_combustible");
}

Note not_given_note(FigureKind figure)
{
    const FigureFacts& asked = figure_facts(figure);
    Note note("no se puede dar " + std::string(asked.id) + ": ");
    note.about("cifra_imposible", {{"cifra", std::string(asked.id)}});
    switch (asked.need) {
    case Need::air:
        note += "necesita la temperatura del aire de combustión (una columna de aire o ";
        note += Remedy{Ask::control, Setting::air, {}};
        note += ")";
        return note;
    case Need::target:
        note += "necesita un objetivo (";
        note += Remedy{Ask::control, Setting::target, {}};
        note += ")";
        return note;
    case Need::co:
    case Need::nothing:
        break;
    }
    note += "necesita una columna de CO";
    return note;
}

Note no_grouping_column_note(Grouping grouping)
{
    const bool boiler = grouping == Grouping::boiler;
    Note note(boiler
                  ? "no hay columna de caldera para agrupar por caldera (Caldera, Equipo, "
                    "Generador, Boiler): "
                  : "no hay columna de fecha para agrupar por mes (Fecha, Fecha y hora, Date): ");
    note += Remedy{Ask::name_column, Setting::column, {}, boiler ? Column::boiler : Column::date};
    return note.about("sin_columna_para_agrupar", {{"agrupar", boiler ? "caldera" : "mes"}});
}

} // namespace quemador::log
