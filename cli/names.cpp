#include "cli/names.h"

#include <algorithm>
#include <array>

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
        }
    }
    return out;
}

std::optional<Fuel> fuel_named(std::string_view name)
{
    static const std::array<std::string_view, 4> gas = {"gas", "gasnatural", "gn", "naturalgas"};
    static const std::array<std::string_view, 9> oil = {
        "fueloil", "fueloil2", "fueloiln2", "fueloilno2", "gasoleo", "gasoil", "fo", "fo2", "oil"};
    const std::string key = folded(name);
    if (std::find(gas.begin(), gas.end(), key) != gas.end())
        return Fuel::natural_gas;
    if (std::find(oil.begin(), oil.end(), key) != oil.end())
        return Fuel::fuel_oil_no2;
    return std::nullopt;
}

std::string_view fuel_caption(Fuel fuel)
{
    return fuel == Fuel::natural_gas ? "Gas Natural" : "Fuel Oil Nº 2";
}

} // namespace quemador::cli
