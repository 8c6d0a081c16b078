// SPDX-License-Identifier: GPL-3.0-or-later
#include "log/note.h"

#include "log/columns.h"

namespace quemador::log {

Note& Note::operator+=(std::string text)
{
    if (!parts.empty() && std::holds_alternative<std::string>(parts.back()))
        std::get<std::string>(parts.back()) += text;
    else
        parts.emplace_back(std::move(text));
    return *this;
}

Note& Note::operator+=(Remedy remedy)
{
    parts.emplace_back(std::move(remedy));
    return *this;
}

Note& Note::append(const Note& more)
{
    if (kind.empty()) {
        kind = more.kind;
        values = more.values;
    }
    for (const auto& part : more.parts)
        std::visit([this](const auto& said) { *this += said; }, part);
    return *this;
}

std::string worded(const Note& note, RemedyWords words)
{
    std::string text;
    for (const auto& part : note.parts) {
        if (const auto* said = std::get_if<std::string>(&part))
            text += *said;
        else
            text += words(std::get<Remedy>(part));
    }
    return text;
}

std::string plain_words(const Remedy& remedy)
{
    using Ask = Remedy::Ask;
    const std::string what(kind_of(remedy.column).what);
    switch (remedy.ask) {
    case Ask::set:
        return "léalo con " + remedy.value;
    case Ask::give:
        return "indíquelo";
    case Ask::set_by:
        return "por elección";
    case Ask::name_column:
        return "nómbrela como la de " + what;
    case Ask::which_column:
        return "diga cuál es la de " + what + " (nombre o número)";
    case Ask::for_column:
        return "para la de " + what;
    case Ask::control:
        return "su opción";
    case Ask::name_readings:
        break;
    }
    return "diga qué columna es cada lectura (nombre o número)";
}

} // namespace quemador::log
