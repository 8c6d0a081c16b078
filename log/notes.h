// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What a log's summary says of how it was read: its encoding, its separator, each
// section's columns and unit, and what the first rows looked like.

#include "log/section.h"
#include "text/encoding.h"

#include <string>
#include <vector>

namespace quemador::log {

// A separator as the notes name it: «;» or tabulador.
std::string separator_name(char separator);

// The columns of a section, as the summary names them.
std::string columns_note(const Section& section, const LogOptions& options);

// What a section's first rows showed, for the summary.
std::vector<std::string> first_rows_notes(const Section& section);

// What was read and how: the encoding, for the notes and the message of a log without
// a header.
std::string how_read(const text::DecodingSource& decoded);

// What the summary says of the encodings: bytes that were no character, or that look
// like another encoding, and an output written in another encoding than the input's.
void encoding_notes(const text::DecodingSource& decoded, const text::EncodingSink& sink,
                    LogSummary& summary);

} // namespace quemador::log
