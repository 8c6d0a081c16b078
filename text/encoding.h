// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The text encodings logs arrive in: UTF-8, UTF-16 (a Spanish Excel's "Unicode text")
// and Windows-1252 (its "CSV"). A log is read as UTF-8 and written back in the
// encoding it came in, byte order mark included. The conversions are iconv's.

#include "text/csv.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quemador::text {

enum class Encoding { utf8, utf16le, utf16be, windows1252 };

// As the program names it to the user, and to iconv (which takes names in any case):
// "utf-8", "utf-16le", "utf-16be", "windows-1252".
std::string_view encoding_name(Encoding encoding);

// The encoding an option names: utf-8, utf-16 (either byte order, told by the byte
// order mark; little-endian without one) or windows-1252, whatever the case, with or
// without the hyphen; "cp1252" and "ansi" too.
std::optional<Encoding> encoding_named(std::string_view name);

// The byte order mark of a Unicode encoding; empty for Windows-1252.
std::string_view bom_of(Encoding encoding);

// A UTF-8 text in another encoding, whole: a character the encoding lacks is written
// as a near one, or "?" (as EncodingSink writes it).
std::string encoded(std::string_view utf8, Encoding to);

// Whether the bytes are UTF-8; a sequence cut short at their end counts as UTF-8
// when more may follow.
bool valid_utf8(std::string_view bytes, bool more_follows);

// A conversion between UTF-8 and another encoding, opened once: the C library's iconv,
// writing a character the encoding lacks as a near one, or in the WebAssembly build the
// program's own (text/transcode.h), which writes "?" for it.
class Converter {
public:
    Converter(Encoding to, Encoding from);
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;
    ~Converter();

    // Converts from in to out as far as both allow; returns what iconv returns (the
    // characters converted approximately, or -1 with errno set).
    std::size_t convert(const char*& in, std::size_t& in_left, char*& out, std::size_t& out_left);

private:
#ifdef __EMSCRIPTEN__
    Encoding to_;
    Encoding from_;
#else
    void* handle_; // iconv's
#endif
};

// Counts, in a stream of bytes fed in any pieces, the bytes that are not UTF-8 and the
// characters of more than one byte that are.
class Utf8Check {
public:
    void feed(const char* bytes, std::size_t size);
    // The end of the stream: a character cut short there is an error too.
    void finish();
    [[nodiscard]] std::uint64_t errors() const { return errors_; }
    [[nodiscard]] std::uint64_t characters() const { return characters_; }

private:
    unsigned need_ = 0; // continuation bytes still expected
    std::uint64_t errors_ = 0;
    std::uint64_t characters_ = 0;
};

// The bytes of a source as UTF-8 text. The encoding is the one given, or the one its
// byte order mark names, or UTF-16 when every other byte of the start is zero.
// Otherwise it is decided late: while every byte was ASCII (which reads the same in
// UTF-8 and Windows-1252), nothing is decided, and the first byte that is not ASCII
// decides: UTF-8 when it starts a UTF-8 character, Windows-1252 when not. Nothing is
// lost either way. UTF-8 goes through as it is; the bytes that are not UTF-8 are
// counted. A Windows-1252 byte that names no character (0x81, 0x8D, 0x8F, 0x90, 0x9D)
// reads as the control character of the same number, and is written back as it was;
// in UTF-16, a unit that is no character reads as U+FFFD and is counted.
class DecodingSource : public ByteSource {
public:
    DecodingSource(ByteSource& source, std::optional<Encoding> encoding);
    std::size_t read(char* buffer, std::size_t size) override;

    // The encoding decided so far: none while every byte read was ASCII.
    [[nodiscard]] std::optional<Encoding> decided() const;
    // The encoding decided, UTF-8 until then.
    [[nodiscard]] Encoding encoding() const { return decided().value_or(Encoding::utf8); }
    [[nodiscard]] bool had_bom() const { return bom_; }
    // Units that are no character, read as U+FFFD.
    [[nodiscard]] std::uint64_t replaced() const { return replaced_; }
    // In UTF-8: bytes that are not UTF-8, passed through as they are.
    [[nodiscard]] std::uint64_t not_utf8() const { return check_.errors(); }
    // In Windows-1252: sequences of bytes that are UTF-8 characters, a sign that the
    // file, or a part of it, is UTF-8.
    [[nodiscard]] std::uint64_t utf8_looking() const { return as_utf8_.characters(); }

private:
    enum class Mode { undecided, utf8, converting };

    // Reads the start and decides what it can: a byte order mark, UTF-16 without one.
    void start();
    void decide(Encoding encoding);
    // Reads more after what is left of the input; false at its end.
    bool refill();
    std::size_t read_undecided(char* buffer, std::size_t size);
    std::size_t read_utf8(char* buffer, std::size_t size);
    std::size_t read_converted(char* buffer, std::size_t size);
    // Converts what input there is into out_; false at the end of the input.
    bool produce();
    void convert();
    // Writes text into out_ when it has room; false when not.
    bool put(std::string_view text);

    ByteSource& source_;
    std::optional<Encoding> given_;
    Encoding encoding_ = Encoding::utf8;
    Mode mode_ = Mode::undecided;
    bool started_ = false;
    bool bom_ = false;
    bool ended_ = false;
    std::vector<char> in_;
    std::size_t in_pos_ = 0;
    std::size_t in_end_ = 0;
    std::vector<char> out_;
    std::size_t out_pos_ = 0;
    std::size_t out_end_ = 0;
    std::optional<Converter> converter_;
    Utf8Check check_;   // UTF-8 as it passes
    Utf8Check as_utf8_; // Windows-1252 as if it were UTF-8
    std::uint64_t replaced_ = 0;
};

// Writes UTF-8 text to a sink in the encoding its input was read in, with the input's
// byte order mark. While only ASCII is written, the encoding may still be undecided:
// the first character that is not ASCII fixes it, as the input's, or UTF-8 when the
// input has not decided yet. A character the encoding cannot hold is written as iconv
// transliterates it ("₂" as "2", "?" when nothing is near) and counted.
class EncodingSink : public ByteSink {
public:
    EncodingSink(ByteSink& sink, const DecodingSource& input);
    EncodingSink(const EncodingSink&) = delete;
    EncodingSink& operator=(const EncodingSink&) = delete;
    ~EncodingSink() override;

    void write(std::string_view bytes) override;
    // Writes what is held back: the start of a character cut short.
    void flush();
    [[nodiscard]] std::uint64_t approximated() const { return approximated_; }
    // The encoding written, once a character that is not ASCII was.
    [[nodiscard]] std::optional<Encoding> encoding() const { return encoding_; }

private:
    void start();
    void put(const char* bytes, std::size_t size);
    void convert(std::string_view text);

    ByteSink& sink_;
    const DecodingSource& input_;
    std::optional<Encoding> encoding_;
    bool started_ = false;
    std::string pending_; // the start of a character whose other bytes come next
    std::string joined_;  // that start and the bytes that follow it
    std::vector<char> out_;
    std::optional<Converter> converter_;
    std::uint64_t approximated_ = 0;
};

} // namespace quemador::text
