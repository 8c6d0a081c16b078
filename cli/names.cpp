// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/names.h"

#include <algorithm>

namespace quemador::cli {

std::string folded(std::string_view text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if ((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z')) {
            out += static_cast<char>(c);
        } else if (c >= 'A' && c <= 'Z') {
            out += static_cast<char>(c - 'A' + 'a');
        } else if ((c == 0xC2 || c == 0xC3) && i + 1 < text.size()) {
            // Latin-1 supplement in UTF-8: two bytes.
            const auto code = static_cast<unsigned char>(
                ((c & 0x1F) << 6) | (static_cast<unsigned char>(text[++i]) & 0x3F));
            const std::string_view from =
                "\xE1\xC1\xE9\xC9\xED\xCD\xF3\xD3\xFA\xDA\xFC\xDC\xF1\xD1";
            const std::string_view to = "aaeeiioouuuunn";
            if (const auto at = from.find(static_cast<char>(code)); at != std::string_view::npos)
                out += to[at];
        } else if (c == 0xE2 && i + 2 < text.size() && text[i + 1] == '\x82' &&
                   static_cast<unsigned char>(text[i + 2]) <= 0x89) {
            // Subscript digits, U+2080 to U+2089: "O₂" is "o2".
            out += static_cast<char>('0' + (static_cast<unsigned char>(text[i + 2]) - 0x80));
            i += 2;
        }
    }
    return out;
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
    return "combustible desconocido: «" + std::string(name) +
        "»; el programa calcula con gas natural o con fuel oil Nº 2 (gasóleo C)";
}

} // namespace quemador::cli
