// SPDX-License-Identifier: GPL-3.0-or-later
// The floor for quemador1-calc --csv: a plain loop over the bench's log (a header
// "O2,CO2,Temperatura", then rows of three numbers with decimal points), natural gas,
// °F, no air column. For each row it reads the three numbers strictly, as the log
// does, runs the same model, the net efficiency and the advice through the core, and
// writes the row with exceso_aire, eficiencia, eficiencia_neta and aviso: byte for
// byte what quemador1-calc writes for that log. None of the log's generality (no
// header search, no quoting, no sections, no encodings, no summary). With --unchecked
// it leaves out the checks: the strict reading (from_chars instead), the model's bounds
// and the advice. Used by bench/csv_throughput.sh.
// Usage: floor [--unchecked] < log.csv > out.csv

#include "calculation/calculate_command.h"
#include "calculation/net_efficiency.h"
#include "calculation/number_text.h"
#include "calculation/reading_advice.h"
#include "text/numbers.h"

#include <array>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace quemador;

constexpr std::size_t buffer_bytes = 1 << 16;

// Appends a result as the log writes it: to hundredths, without the sign blank.
void put_result(double x, std::string& text, std::string& out)
{
    shown_result(x, text);
    out += without_sign_blank(text);
}

bool number(std::string_view cell, bool checked, double& value)
{
    if (checked)
        return text::parse_number(cell, text::DecimalComma::rejected, value);
    return std::from_chars(cell.data(), cell.data() + cell.size(), value).ec == std::errc();
}

// One row: its line without the line end, the row written into out (text: room for a
// result's).
void row(std::string_view line, bool checked, std::string& text, std::string& out)
{
    std::array<std::string_view, 3> cells;
    std::size_t count = 0;
    for (std::size_t start = 0; count < 3;) {
        const std::size_t comma = line.find(',', start);
        cells.at(count++) = line.substr(start, comma - start);
        if (comma == std::string_view::npos)
            break;
        start = comma + 1;
    }
    out += line;
    Reading reading;
    double co2 = 0.0;
    double temp = 0.0;
    if (count < 3 || !number(cells[0], checked, reading.o2) || !number(cells[1], checked, co2) ||
        !number(cells[2], checked, temp)) {
        out += ",,,,fila ilegible\n";
        return;
    }
    reading.co2 = co2;
    reading.temp_f = temp;
    std::string notes;
    try {
        const Results results = calculate(reading);
        out += ',';
        put_result(results.excess_air, text, out);
        out += ',';
        put_result(results.efficiency, text, out);
        out += ',';
        if (!checked || within_model(reading, results)) {
            put_result(net_efficiency(reading.fuel, reading.o2, fahrenheit_to_celsius(temp),
                                      fahrenheit_to_celsius(combustion_air_temp)),
                       text, out);
        }
        if (checked) {
            const AdviceStyle style{false, false, cells[0], cells[1], cells[2], {}};
            for (const Advice& advice : reading_advice(reading, results, style)) {
                if (!notes.empty())
                    notes += ' ';
                notes += advice.message;
            }
        }
    } catch (const RuntimeError& error) {
        notes = error.what();
    }
    out += ',';
    out += notes; // the bench's log has no text that needs quotes
    out += '\n';
}

} // namespace

int main(int argc, char** argv)
{
    const bool checked = !(argc > 1 && std::strcmp(argv[1], "--unchecked") == 0);
    std::vector<char> in(buffer_bytes);
    std::string pending;
    std::string out;
    std::string text;
    out.reserve(2 * buffer_bytes);
    bool header = true;
    std::size_t got = 0;
    while ((got = std::fread(in.data(), 1, in.size(), stdin)) > 0) {
        std::string_view chunk(in.data(), got);
        while (!chunk.empty()) {
            const std::size_t end = chunk.find('\n');
            if (end == std::string_view::npos) {
                pending.append(chunk);
                break;
            }
            std::string_view line = chunk.substr(0, end);
            if (!pending.empty()) {
                pending.append(line);
                line = pending;
            }
            if (header)
                out.append(line).append(",exceso_aire,eficiencia,eficiencia_neta,aviso\n");
            else
                row(line, checked, text, out);
            header = false;
            pending.clear();
            chunk.remove_prefix(end + 1);
        }
        if (out.size() >= buffer_bytes) {
            std::fwrite(out.data(), 1, out.size(), stdout);
            out.clear();
        }
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
    return 0;
}
