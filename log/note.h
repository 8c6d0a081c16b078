// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A note on how a log was read, as data: what it says, and what it asks of the user in
// terms of a setting. Each face words the setting its own way: the command line names
// its option, the page its own control, and a row's aviso (the same bytes whichever
// face wrote it) neither.

#include <cstdint>
#include <string>
#include <utility>
#include <variant>
#include <vector>

namespace quemador::log {

enum class Column; // log/columns.h

// What a note asks of the user about one setting, or names as where a setting came
// from.
struct Remedy {
    enum class Ask {
        set,           // read again with the setting at value: "repita con --celsius"
        give,          // give the setting, whatever it is: "indique --combustible"
        set_by,        // the setting was given at value: "por --celsius"
        name_column,   // name the column: "nómbrela con --col-caldera"
        which_column,  // say which of two columns it is
        for_column,    // the user's choice of a column: "para --col-o2"
        name_readings, // say which columns are the oxygen and the temperature
        control,       // the setting's control itself: "--aire"
    };
    enum class Setting { unit, encoding, date_order, fuel, column, air, target };

    Ask ask;
    Setting setting;
    std::string value; // "°C", "windows-1252", "mm/dd"; empty when it has none
    Column column{};   // with Setting::column

    bool operator==(const Remedy&) const = default;
};

// A value a note gives as data: a count or a line, or a text (a cell, a name).
using NoteValue = std::variant<std::uint64_t, std::string>;

// A note: texts and remedies, in the order they are said; and, for a program that reads
// it, what it is about (a short id, "encabezado_repetido"; empty for one in words only)
// and its values by name.
struct Note {
    std::vector<std::variant<std::string, Remedy>> parts;
    std::string kind;
    std::vector<std::pair<std::string, NoteValue>> values;

    Note() = default;
    // A note that asks nothing of the user.
    // cppcheck-suppress noExplicitConstructor
    Note(std::string text) { parts.emplace_back(std::move(text)); } // NOLINT: implicit
    // cppcheck-suppress noExplicitConstructor
    Note(const char* text) : Note(std::string(text)) {} // NOLINT: implicit

    Note& operator+=(std::string text);
    Note& operator+=(Remedy remedy);
    // Another note's texts and remedies, after this one's.
    Note& append(const Note& more);
    // Says what the note is about, as data.
    Note& about(std::string id, std::vector<std::pair<std::string, NoteValue>> given = {})
    {
        kind = std::move(id);
        values = std::move(given);
        return *this;
    }
    bool operator==(const Note&) const = default;
};

// How a face words a remedy.
using RemedyWords = std::string (*)(const Remedy&);

// A note in a face's words.
std::string worded(const Note& note, RemedyWords words);

// A remedy in no face's words: for what is written into a log, whichever face wrote it.
std::string plain_words(const Remedy& remedy);

} // namespace quemador::log
