#include "cli/csv_log.h"

#include "cli/numbers.h"
#include "cli/reading.h"
#include "cli/usage_error.h"

#include <algorithm>
#include <array>
#include <string>
#include <vector>

namespace quemador::cli {
namespace {

constexpr std::uint64_t progress_every = 4096;

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
bool one_of(const std::string& key, const std::array<std::string_view, N>& names)
{
    return std::find(names.begin(), names.end(), key) != names.end();
}

// What became of one record: its reading's outcome, and the notes appended to it.
struct RecordResults {
    Outcome outcome;
    std::string notes;
    bool failed = false;
};

class LogProcessor {
public:
    LogProcessor(const std::vector<std::string_view>& header, char separator,
                 const LogOptions& options)
        : options_(options),
          comma_(separator == ',' ? DecimalComma::rejected : DecimalComma::accepted),
          results_comma_(separator == ';' ? DecimalComma::accepted : DecimalComma::rejected)
    {
        for (std::size_t i = header.size(); i-- > 0;) {
            switch (column_named(header[i])) {
            case Column::o2:
                o2_ = i;
                break;
            case Column::co2:
                co2_ = i;
                break;
            case Column::temperature:
                temperature_ = i;
                break;
            case Column::fuel:
                fuel_ = i;
                break;
            case Column::none:
                break;
            }
        }
        if (o2_ == none)
            throw UsageError(
                "falta la columna de oxígeno: ningún encabezado se llama O2 u Oxígeno");
        if (temperature_ == none)
            throw UsageError("falta la columna de temperatura: ningún encabezado se llama "
                             "Temperatura, Temp o T gas");
        if (fuel_ == none && !options.fuel)
            throw UsageError("falta el combustible: indique --combustible o añada una columna "
                             "Combustible");
        celsius_ = options.unit.value_or(
                       unit_named(header[temperature_]).value_or(TemperatureUnit::fahrenheit)) ==
            TemperatureUnit::celsius;
    }

    void calculate(const std::vector<std::string_view>& fields, RecordResults& out) const
    {
        out.notes.clear();
        out.failed = true;

        // The reading is filled in place: copying it whole just after its parts were
        // written would stall the processor on every row.
        Reading reading;
        const auto fuel = fuel_of(fields, out.notes);
        double temp = 0.0;
        const bool o2_read = number(fields, o2_, "O2", out.notes, reading.o2);
        const bool temp_read = number(fields, temperature_, "temperatura", out.notes, temp);
        bool co2_read = true; // no CO2 measured: an empty field or no column
        if (co2_ != none && !blank(field(fields, co2_))) {
            double co2 = 0.0;
            co2_read = number(fields, co2_, "CO2", out.notes, co2);
            reading.co2 = co2;
        }
        if (!fuel || !o2_read || !temp_read || !co2_read)
            return;
        reading.fuel = *fuel;
        reading.temp_f = celsius_ ? celsius_to_fahrenheit(temp) : temp;

        evaluate(reading, out.outcome);
        if (!out.outcome.shown()) {
            out.notes = out.outcome.failure;
            return;
        }
        out.failed = false;
        for (const auto& message : out.outcome.advice) {
            if (!out.notes.empty())
                out.notes += ' ';
            out.notes += message;
        }
    }

    [[nodiscard]] DecimalComma results_comma() const { return results_comma_; }

private:
    static constexpr std::size_t none = static_cast<std::size_t>(-1);

    static std::string_view field(const std::vector<std::string_view>& fields, std::size_t index)
    {
        return index < fields.size() ? fields[index] : std::string_view();
    }

    static bool blank(std::string_view text)
    {
        return std::all_of(text.begin(), text.end(), [](char c) { return c == ' ' || c == '\t'; });
    }

    static void note(std::string& notes, std::string_view message)
    {
        if (!notes.empty())
            notes += "; ";
        notes += message;
    }

    // Reads a field as a number into value; otherwise says why in notes.
    bool number(const std::vector<std::string_view>& fields, std::size_t index,
                std::string_view what, std::string& notes, double& value) const
    {
        const std::string_view text = field(fields, index);
        if (read_number(text, comma_, value))
            return true;
        if (blank(text))
            note(notes, "falta el valor de " + std::string(what));
        else
            note(notes, std::string(what) + " ilegible: «" + std::string(text) + "»");
        return false;
    }

    std::optional<Fuel> fuel_of(const std::vector<std::string_view>& fields,
                                std::string& notes) const
    {
        const std::string_view text = field(fields, fuel_);
        if (fuel_ == none || blank(text)) {
            if (!options_.fuel)
                note(notes, "falta el combustible");
            return options_.fuel;
        }
        const auto fuel = fuel_named(text);
        if (!fuel)
            note(notes, "combustible desconocido: «" + std::string(text) + "»");
        return fuel;
    }

    const LogOptions& options_;
    DecimalComma comma_;
    DecimalComma results_comma_;
    std::size_t o2_ = none;
    std::size_t co2_ = none;
    std::size_t temperature_ = none;
    std::size_t fuel_ = none;
    bool celsius_ = false;
};

} // namespace

Column column_named(std::string_view header)
{
    static const std::array<std::string_view, 3> o2 = {"o2", "oxigeno", "oxygen"};
    static const std::array<std::string_view, 3> co2 = {"co2", "dioxidodecarbono", "carbondioxide"};
    static const std::array<std::string_view, 13> temperature = {
        "temperatura",      "temp",           "t",           "tgas",
        "thumos",           "tchimenea",      "tempstack",   "temperaturadehumos",
        "temperaturahumos", "temperaturagas", "temperature", "stacktemperature",
        "stacktemp"};
    static const std::array<std::string_view, 2> fuel = {"combustible", "fuel"};

    const std::string name = split_header(header).name;
    if (one_of(name, o2))
        return Column::o2;
    if (one_of(name, co2))
        return Column::co2;
    if (one_of(name, temperature))
        return Column::temperature;
    if (one_of(name, fuel))
        return Column::fuel;
    return Column::none;
}

std::optional<TemperatureUnit> unit_named(std::string_view header)
{
    static const std::array<std::string_view, 3> celsius = {"c", "degc", "celsius"};
    static const std::array<std::string_view, 3> fahrenheit = {"f", "degf", "fahrenheit"};
    const std::string unit = split_header(header).unit;
    if (one_of(unit, celsius))
        return TemperatureUnit::celsius;
    if (one_of(unit, fahrenheit))
        return TemperatureUnit::fahrenheit;
    return std::nullopt;
}

LogSummary process_log(ByteSource& input, ByteSink& output, const LogOptions& options)
{
    CsvReader reader(input);
    std::vector<std::string_view> fields;
    if (!reader.read_header(fields))
        throw UsageError("el archivo está vacío: falta la línea de encabezados");
    const LogProcessor processor(fields, reader.separator(), options);

    CsvWriter writer(output, reader.separator(), reader.crlf());
    if (reader.had_bom())
        writer.raw("\xEF\xBB\xBF");
    for (const std::string_view name : fields)
        writer.field(name);
    for (const std::string_view name : {"exceso_aire", "eficiencia", "aviso"})
        writer.field(name);
    writer.end_record();

    LogSummary summary;
    RecordResults results;
    while (reader.next(fields)) {
        if (fields.size() == 1 && fields.front().empty()) {
            writer.end_record(); // a blank line stays a blank line
            continue;
        }
        ++summary.read;
        processor.calculate(fields, results);
        if (results.failed) {
            ++summary.with_errors;
            options.report("línea " + std::to_string(reader.line()) + ": " + results.notes);
        } else {
            ++summary.calculated;
            summary.with_advice += results.notes.empty() ? 0 : 1;
        }
        if (const auto raw = reader.raw_record())
            writer.fields_as_read(*raw);
        else
            for (const std::string_view text : fields)
                writer.field(text);
        // Digits, a sign and the decimal separator that is not the file's separator.
        Outcome& outcome = results.outcome;
        writer.plain_field(results.failed ? ""
                                          : in_file(outcome.excess_air, processor.results_comma()));
        writer.plain_field(results.failed ? ""
                                          : in_file(outcome.efficiency, processor.results_comma()));
        writer.field(results.notes);
        writer.end_record();
        if (summary.read % progress_every == 0)
            options.progress(summary.read, reader.bytes_read());
    }
    writer.flush();
    return summary;
}

} // namespace quemador::cli
