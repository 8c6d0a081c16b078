// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "log/note.h"

#include <stdexcept>

namespace quemador::log {

// A file that cannot be read as a log of readings (no header, a column missing or
// ambiguous): said in one note, before anything is written. what() is the note in no
// face's words.
class LogError : public std::runtime_error {
public:
    explicit LogError(Note note)
        : std::runtime_error(worded(note, plain_words)), note_(std::move(note))
    {
    }

    [[nodiscard]] const Note& note() const { return note_; }

private:
    Note note_;
};

} // namespace quemador::log
