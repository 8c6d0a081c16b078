// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What the page's answers share, within the web floor: a reading's boxes read from a
// JSON request and evaluated, the boxes that could not be read, a reading's answer
// written, and texts in the page's Spanish numbers.

#include "calculation/inspection.h"
#include "calculation/report.h"
#include "log/json.h"
#include "web/page.h"

#include <nlohmann/json.hpp>

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quemador::web {
using log::Json;
} // namespace quemador::web

namespace quemador::web::detail {

// A number as the page writes it: with a decimal comma, no sign blank.
std::string spanish(std::string text);

// A member's text; empty when it is missing or not a text.
std::string text_of(const nlohmann::json& object, std::string_view key);

// A number as typed, with the log's decimal comma.
std::string typed(std::string_view text);

// The boxes read as numbers, and what could not be read, by the box's id.
class Boxes {
public:
    // A box's number, in [least, most]; none when it is empty or cannot be read (then
    // said at the box).
    std::optional<double> number(std::string_view id, std::string_view text, double least,
                                 double most, std::string_view unit);
    void refuse(std::string_view id, std::string message)
    {
        problems_.emplace_back(id, std::move(message));
    }
    [[nodiscard]] bool all_read() const { return problems_.empty(); }
    // Those of another reading, under its own ids.
    void add(const Boxes& other)
    {
        problems_.insert(problems_.end(), other.problems_.begin(), other.problems_.end());
    }
    // "cajas": {id: why}.
    void write(Json& json) const;

    // The message of a number that cannot be read.
    static constexpr std::string_view not_a_number =
        "No es un número: escriba solo cifras, con coma o punto decimal (3,5).";

private:
    std::vector<std::pair<std::string_view, std::string>> problems_;
};

// A reading's boxes read, and its report.
struct Evaluation {
    Boxes boxes;
    AdviceStyle style;
    Comparison comparison;
    std::optional<double> temp_f;
    // Given when every box was read and the O2 and temperature are there.
    std::optional<Report> report;
};

Evaluation evaluation_of(const PageReading& page);

// A reading's boxes from a JSON object by their ids (a box missing is empty). Raises
// std::invalid_argument for a request that is not such an object.
PageReading reading_from(const nlohmann::json& boxes);

// The members of a reading's answer, as evaluate_json writes them (page.h), its CO
// judged against the limits.
void write_reading(const Evaluation& evaluation, const PageReading& page, const Limits& limits,
                   Json& json);

// The id of the settings' field of the CO limit.
std::string_view co_limit_field();

// The limits of the settings, by their fields' ids (limite-eficiencia, its base,
// limite-co, limite-opacidad); what cannot be read is said at its box.
Limits limits_from(const nlohmann::json& fields, Boxes& boxes);

} // namespace quemador::web::detail
