// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The text encodings logs arrive in: UTF-8, UTF-16 with a byte order mark (a Spanish
// Excel's "Unicode text") and Windows-1252 (its "CSV"). A log is read as UTF-8 and
// written back in the encoding it came in, byte order mark included. The conversions
// are glibc's iconv.

#include "cli/csv.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quemador::cli {

enum class Encoding { utf8, utf16le, utf16be, windows1252 };

// As the program names it to the user, and to iconv (which takes names in any case):
// "utf-8", "utf-16le", "utf-16be", "windows-1252".
std::string_view encoding_name(Encoding encoding);

// The encoding an option names: utf-8, utf-16 (either byte order, told by the byte
// order mark; little-endian without one) or windows-1252, whatever the case, with or
// without the hyphen; "cp1252" and "ansi" too.
std::optional<Encoding> encoding_named(std::string_view name);

// Whether the bytes are UTF-8; a sequence cut short at their end counts as UTF-8
// when more may follow.
bool valid_utf8(std::string_view bytes, bool more_follows);

// A conversion by iconv, opened once.
class Converter {
public:
    Converter(const char* to, const char* from);
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;
    ~Converter();

    // Converts from in to out as far as both allow; returns what iconv returns (the
    // characters converted approximately, or -1 with errno set).
    std::size_t convert(const char*& in, std::size_t& in_left, char*& out, std::size_t& out_left);

private:
    void* handle_;
};

// The bytes of a source as UTF-8 text. The encoding is the one given, or is taken
// from the byte order mark, or else from the first 64 KiB: UTF-8 when they are valid
// UTF-8, Windows-1252 otherwise. The byte order mark is passed over. A byte that is
// no character in its encoding reads as U+FFFD and is counted.
class DecodingSource : public ByteSource {
public:
    DecodingSource(ByteSource& source, std::optional<Encoding> encoding);
    std::size_t read(char* buffer, std::size_t size) override;
    // Reads the first bytes and decides the encoding, once; the first read does too.
    void detect();

    // Both known once detect has run.
    [[nodiscard]] Encoding encoding() const { return encoding_; }
    [[nodiscard]] bool had_bom() const { return bom_; }
    [[nodiscard]] std::uint64_t invalid() const { return invalid_; }

private:
    // Reads more after what is left of the input; false at its end.
    bool refill();
    // Converts what input there is into out_; false at the end of the input.
    bool produce();
    void convert();
    void replace_invalid();

    ByteSource& source_;
    std::optional<Encoding> given_;
    Encoding encoding_ = Encoding::utf8;
    bool detected_ = false;
    bool bom_ = false;
    std::vector<char> in_;
    std::size_t in_pos_ = 0;
    std::size_t in_end_ = 0;
    std::vector<char> out_;
    std::size_t out_pos_ = 0;
    std::size_t out_end_ = 0;
    std::optional<Converter> converter_;
    std::uint64_t invalid_ = 0;
};

// Writes UTF-8 text to a sink in an encoding, with its byte order mark before the
// first bytes when asked. A character the encoding cannot hold is written as iconv
// transliterates it ("₂" as "2", "?" when nothing is near) and counted.
class EncodingSink : public ByteSink {
public:
    EncodingSink(ByteSink& sink, Encoding encoding, bool bom);
    EncodingSink(const EncodingSink&) = delete;
    EncodingSink& operator=(const EncodingSink&) = delete;
    ~EncodingSink() override;

    void write(std::string_view bytes) override;
    // Writes what is held back: the start of a character cut short.
    void flush();
    [[nodiscard]] std::uint64_t approximated() const { return approximated_; }

private:
    void put(const char* bytes, std::size_t size);
    void convert(std::string_view text);

    ByteSink& sink_;
    Encoding encoding_;
    bool bom_;
    bool started_ = false;
    std::string pending_; // the start of a character whose other bytes come next
    std::string joined_;  // that start and the bytes that follow it
    std::vector<char> out_;
    std::optional<Converter> converter_;
    std::uint64_t approximated_ = 0;
};

} // namespace quemador::cli
