// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Conversions between UTF-8 and the other encodings a log comes in (Windows-1252,
// UTF-16 in either byte order), with iconv's contract, for a build whose C library's
// iconv is not worth its size (the WebAssembly page's: musl's brings every legacy
// character set). The tests hold them to glibc's iconv.

#include "text/encoding.h"

#include <cstddef>

namespace quemador::text {

// Converts from in to out, one of the two being UTF-8, as far as both allow; advances
// the four arguments past what was done. Returns the characters written approximately
// (a character Windows-1252 lacks is written as "?"), or -1 with errno set: EILSEQ at
// a sequence that is no character (in stays before it), EINVAL at one cut short by the
// end of in, E2BIG when out is full.
std::size_t transcode(Encoding from, Encoding to, const char*& in, std::size_t& in_left, char*& out,
                      std::size_t& out_left);

} // namespace quemador::text
