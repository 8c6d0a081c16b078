// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>

namespace quemador::text {

// The size of each buffer the reader, the decoder and the writer hold. The fuzzing
// build makes it tiny (QUEMADOR_TEXT_BUFFER_BYTES=16), so that short inputs reach
// every buffer edge: a character, a record or a line end across two refills.
#ifndef QUEMADOR_TEXT_BUFFER_BYTES
#define QUEMADOR_TEXT_BUFFER_BYTES 65536
#endif
inline constexpr std::size_t buffer_bytes = QUEMADOR_TEXT_BUFFER_BYTES;
static_assert(buffer_bytes >= 16, "a buffer holds at least one character of any encoding");

} // namespace quemador::text
