// SPDX-License-Identifier: GPL-3.0-or-later
#include "text/encoding.h"

#include "text/buffers.h"
#include "text/names.h"
#include "text/transcode.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#ifndef __EMSCRIPTEN__
#include <iconv.h>
#endif
#include <stdexcept>

namespace quemador::text {
namespace {

constexpr std::string_view utf8_bom = "\xEF\xBB\xBF";
constexpr std::string_view utf16le_bom = "\xFF\xFE";
constexpr std::string_view utf16be_bom = "\xFE\xFF";
constexpr std::string_view replacement = "\xEF\xBF\xBD"; // U+FFFD
// The start looked at for UTF-16 without a byte order mark.
constexpr std::size_t start_bytes = 64;

bool is_ascii(char c) { return static_cast<unsigned char>(c) < 0x80; }

// How many bytes at the start of text are ASCII, which Windows-1252 and UTF-8 share:
// thirty-two at a time while they are (every byte of a log passes here while its
// encoding is undecided, and again on its way out).
std::size_t ascii_run(const char* text, std::size_t size)
{
    constexpr std::uint64_t high_bits = 0x8080808080808080ULL;
    constexpr std::size_t block = 32;
    std::size_t n = 0;
    for (std::array<std::uint64_t, block / 8> words{}; n + block <= size; n += block) {
        std::memcpy(words.data(), text + n, block);
        if (((words[0] | words[1] | words[2] | words[3]) & high_bits) != 0)
            break;
    }
    while (n < size && is_ascii(text[n]))
        ++n;
    return n;
}

std::size_t non_ascii_run(const char* text, std::size_t size)
{
    std::size_t n = 0;
    while (n < size && !is_ascii(text[n]))
        ++n;
    return n;
}

// The bytes of the UTF-8 sequence a byte starts; 0 for a byte that starts none.
std::size_t sequence_length(unsigned char lead)
{
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC2 && lead <= 0xDF)
        return 2;
    if (lead >= 0xE0 && lead <= 0xEF)
        return 3;
    if (lead >= 0xF0 && lead <= 0xF4)
        return 4;
    return 0;
}

bool is_continuation(char c) { return (static_cast<unsigned char>(c) & 0xC0U) == 0x80U; }

// The five bytes of Windows-1252 that name no character; read as the C1 control
// character of the same number, as web browsers do, so that they go back as they came.
bool unnamed_in_1252(char c)
{
    const auto b = static_cast<unsigned char>(c);
    return b == 0x81 || b == 0x8D || b == 0x8F || b == 0x90 || b == 0x9D;
}

// Whether the start of a text is UTF-16 without a byte order mark: ASCII text has a
// zero byte in every unit, the second of each in little-endian order.
std::optional<Encoding> utf16_by_zeros(std::string_view start)
{
    const std::size_t units = start.size() / 2;
    if (units < 2)
        return std::nullopt;
    std::size_t zero_first = 0;
    std::size_t zero_second = 0;
    for (std::size_t i = 0; i < units; ++i) {
        zero_first += start[2 * i] == '\0' ? 1 : 0;
        zero_second += start[2 * i + 1] == '\0' ? 1 : 0;
    }
    if (zero_first == 0 && zero_second * 4 >= units * 3)
        return Encoding::utf16le;
    if (zero_second == 0 && zero_first * 4 >= units * 3)
        return Encoding::utf16be;
    return std::nullopt;
}

} // namespace

std::string_view bom_of(Encoding encoding)
{
    switch (encoding) {
    case Encoding::utf16le:
        return utf16le_bom;
    case Encoding::utf16be:
        return utf16be_bom;
    case Encoding::windows1252:
        return {};
    case Encoding::utf8:
        break;
    }
    return utf8_bom;
}

std::string encoded(std::string_view utf8, Encoding to)
{
    if (to == Encoding::utf8)
        return std::string(utf8);
    const std::string_view unknown = to == Encoding::utf16le ? std::string_view("?\0", 2)
        : to == Encoding::utf16be                            ? std::string_view("\0?", 2)
                                                             : std::string_view("?");
    Converter converter(to, Encoding::utf8);
    std::string out;
    std::array<char, 4096> buffer{};
    const char* in = utf8.data();
    std::size_t in_left = utf8.size();
    while (in_left > 0) {
        char* at = buffer.data();
        std::size_t room = buffer.size();
        const std::size_t result = converter.convert(in, in_left, at, room);
        out.append(buffer.data(), buffer.size() - room);
        if (result == static_cast<std::size_t>(-1) && errno != E2BIG) {
            out += unknown; // a byte that is no character
            ++in;
            --in_left;
        }
    }
    return out;
}

std::string_view encoding_name(Encoding encoding)
{
    switch (encoding) {
    case Encoding::utf16le:
        return "utf-16le";
    case Encoding::utf16be:
        return "utf-16be";
    case Encoding::windows1252:
        return "windows-1252";
    case Encoding::utf8:
        break;
    }
    return "utf-8";
}

std::optional<Encoding> encoding_named(std::string_view name)
{
    const std::string key = folded(name);
    if (key == "utf8")
        return Encoding::utf8;
    if (key == "utf16" || key == "utf16le" || key == "unicode")
        return Encoding::utf16le;
    if (key == "utf16be")
        return Encoding::utf16be;
    if (key == "windows1252" || key == "cp1252" || key == "ansi")
        return Encoding::windows1252;
    return std::nullopt;
}

bool valid_utf8(std::string_view bytes, bool more_follows)
{
    std::size_t i = 0;
    while (i < bytes.size()) {
        const std::size_t length = sequence_length(static_cast<unsigned char>(bytes[i]));
        if (length == 0)
            return false;
        const std::size_t available = std::min(length, bytes.size() - i);
        for (std::size_t k = 1; k < available; ++k) {
            if (!is_continuation(bytes[i + k]))
                return false;
        }
        if (available < length)
            return more_follows;
        i += length;
    }
    return true;
}

void Utf8Check::feed(const char* bytes, std::size_t size)
{
    std::size_t i = 0;
    while (i < size) {
        if (need_ == 0) {
            i += ascii_run(bytes + i, size - i);
            if (i == size)
                return;
            const std::size_t length = sequence_length(static_cast<unsigned char>(bytes[i++]));
            if (length == 0)
                ++errors_;
            else
                need_ = static_cast<unsigned>(length - 1);
        } else if (is_continuation(bytes[i])) {
            --need_;
            ++i;
            characters_ += need_ == 0 ? 1 : 0;
        } else {
            ++errors_; // a character cut short; this byte starts afresh
            need_ = 0;
        }
    }
}

void Utf8Check::finish()
{
    errors_ += need_ > 0 ? 1 : 0;
    need_ = 0;
}

#ifdef __EMSCRIPTEN__
Converter::Converter(Encoding to, Encoding from) : to_(to), from_(from) {}

Converter::~Converter() = default;

std::size_t Converter::convert(const char*& in, std::size_t& in_left, char*& out,
                               std::size_t& out_left)
{
    return transcode(from_, to_, in, in_left, out, out_left);
}
#else
Converter::Converter(Encoding to, Encoding from)
{
    // A character the encoding lacks is written as a near one ("₂" as "2").
    const std::string to_name =
        std::string(encoding_name(to)) + (to == Encoding::utf8 ? "" : "//TRANSLIT");
    const std::string from_name(encoding_name(from));
    handle_ = iconv_open(to_name.c_str(), from_name.c_str());
    if (handle_ == reinterpret_cast<void*>(-1)) // NOLINT(performance-no-int-to-ptr)
        throw std::runtime_error("iconv no convierte de " + from_name + " a " + to_name);
}

Converter::~Converter() { iconv_close(static_cast<iconv_t>(handle_)); }

std::size_t Converter::convert(const char*& in, std::size_t& in_left, char*& out,
                               std::size_t& out_left)
{
    // iconv takes a char** for its input, which it only reads.
    char* input = const_cast<char*>(in); // NOLINT(cppcoreguidelines-pro-type-const-cast)
    const std::size_t result =
        iconv(static_cast<iconv_t>(handle_), &input, &in_left, &out, &out_left);
    in = input;
    return result;
}
#endif

DecodingSource::DecodingSource(ByteSource& source, std::optional<Encoding> encoding)
    : source_(source), given_(encoding), in_(buffer_bytes), out_(buffer_bytes)
{
}

std::optional<Encoding> DecodingSource::decided() const
{
    if (mode_ == Mode::undecided)
        return std::nullopt;
    return encoding_;
}

void DecodingSource::decide(Encoding encoding)
{
    encoding_ = encoding;
    mode_ = encoding == Encoding::utf8 ? Mode::utf8 : Mode::converting;
    if (mode_ == Mode::converting)
        converter_.emplace(Encoding::utf8, encoding);
}

void DecodingSource::start()
{
    if (started_)
        return;
    started_ = true;
    const std::size_t wanted = std::min(in_.size(), start_bytes);
    while (in_end_ < wanted) {
        const std::size_t n = source_.read(in_.data() + in_end_, wanted - in_end_);
        if (n == 0)
            break;
        in_end_ += n;
    }
    const std::string_view start(in_.data(), in_end_);
    const bool may_be_utf16 = given_ != Encoding::windows1252 && given_ != Encoding::utf8;
    std::optional<Encoding> chosen = given_;
    if (start.starts_with(utf8_bom) && given_.value_or(Encoding::utf8) == Encoding::utf8)
        chosen = Encoding::utf8;
    else if (start.starts_with(utf16le_bom) && may_be_utf16)
        chosen = Encoding::utf16le;
    else if (start.starts_with(utf16be_bom) && may_be_utf16)
        chosen = Encoding::utf16be;
    else if (!given_)
        chosen = utf16_by_zeros(start);
    if (!chosen)
        return; // decided by the first byte that is not ASCII
    bom_ = !bom_of(*chosen).empty() && start.starts_with(bom_of(*chosen));
    if (bom_)
        in_pos_ = bom_of(*chosen).size();
    decide(*chosen);
}

std::size_t DecodingSource::read(char* buffer, std::size_t size)
{
    start();
    switch (mode_) {
    case Mode::undecided:
        return read_undecided(buffer, size);
    case Mode::utf8:
        return read_utf8(buffer, size);
    case Mode::converting:
        break;
    }
    return read_converted(buffer, size);
}

std::size_t DecodingSource::read_undecided(char* buffer, std::size_t size)
{
    if (in_pos_ == in_end_) {
        in_pos_ = in_end_ = 0;
        // Straight into the caller's buffer, as far as the bytes are ASCII; the rest is
        // held back.
        const std::size_t n = source_.read(buffer, std::min(size, in_.size()));
        const std::size_t ascii = ascii_run(buffer, n);
        std::memcpy(in_.data(), buffer + ascii, n - ascii);
        in_end_ = n - ascii;
        if (ascii > 0 || n == 0)
            return ascii;
    } else {
        const std::size_t ascii =
            ascii_run(in_.data() + in_pos_, std::min(size, in_end_ - in_pos_));
        if (ascii > 0) {
            std::memcpy(buffer, in_.data() + in_pos_, ascii);
            in_pos_ += ascii;
            return ascii;
        }
    }
    // The first byte that is not ASCII decides, with the bytes of its character.
    std::memmove(in_.data(), in_.data() + in_pos_, in_end_ - in_pos_);
    in_end_ -= in_pos_;
    in_pos_ = 0;
    constexpr std::size_t longest = 4;
    while (in_end_ < longest) {
        const std::size_t n = source_.read(in_.data() + in_end_, longest - in_end_);
        if (n == 0)
            break;
        in_end_ += n;
    }
    const std::size_t length = sequence_length(static_cast<unsigned char>(in_[0]));
    const bool utf8 = length > 1 && length <= in_end_ &&
        std::all_of(in_.begin() + 1, in_.begin() + static_cast<long>(length), is_continuation);
    decide(utf8 ? Encoding::utf8 : Encoding::windows1252);
    return read(buffer, size);
}

std::size_t DecodingSource::read_utf8(char* buffer, std::size_t size)
{
    std::size_t n = 0;
    if (in_pos_ < in_end_) {
        n = std::min(size, in_end_ - in_pos_);
        std::memcpy(buffer, in_.data() + in_pos_, n);
        in_pos_ += n;
    } else {
        n = source_.read(buffer, size);
    }
    if (n == 0 && !ended_) {
        ended_ = true;
        check_.finish();
    }
    check_.feed(buffer, n);
    return n;
}

std::size_t DecodingSource::read_converted(char* buffer, std::size_t size)
{
    if (out_pos_ == out_end_ && !produce())
        return 0;
    const std::size_t n = std::min(size, out_end_ - out_pos_);
    std::memcpy(buffer, out_.data() + out_pos_, n);
    out_pos_ += n;
    return n;
}

bool DecodingSource::refill()
{
    std::memmove(in_.data(), in_.data() + in_pos_, in_end_ - in_pos_);
    in_end_ -= in_pos_;
    in_pos_ = 0;
    const std::size_t n = source_.read(in_.data() + in_end_, in_.size() - in_end_);
    in_end_ += n;
    return n > 0;
}

bool DecodingSource::produce()
{
    out_pos_ = out_end_ = 0;
    for (;;) {
        convert();
        if (out_end_ > 0)
            return true;
        if (!refill()) {
            if (in_pos_ == in_end_)
                return false;
            // A character cut short by the end of the input; out_ is empty, with room.
            in_pos_ = in_end_;
            put(replacement);
            ++replaced_;
            return true;
        }
    }
}

bool DecodingSource::put(std::string_view text)
{
    if (out_.size() - out_end_ < text.size())
        return false;
    std::memcpy(out_.data() + out_end_, text.data(), text.size());
    out_end_ += text.size();
    return true;
}

void DecodingSource::convert()
{
    // Windows-1252 text is mostly ASCII, which is copied as it is; iconv converts the rest.
    const bool windows1252 = encoding_ == Encoding::windows1252;
    const std::size_t unit = windows1252 ? 1 : 2;
    while (in_pos_ < in_end_ && out_end_ < out_.size()) {
        const char* in = in_.data() + in_pos_;
        std::size_t in_left = in_end_ - in_pos_;
        if (windows1252) {
            const std::size_t n = ascii_run(in, std::min(in_left, out_.size() - out_end_));
            std::memcpy(out_.data() + out_end_, in, n);
            as_utf8_.feed(in, std::min<std::size_t>(n, 1)); // ends a sequence in the making
            in_pos_ += n;
            out_end_ += n;
            if (n > 0)
                continue;
            if (unnamed_in_1252(*in)) {
                const std::array<char, 2> control = {'\xC2', *in};
                if (!put({control.data(), control.size()}))
                    return;
                as_utf8_.feed(in, 1);
                ++in_pos_;
                continue;
            }
            const std::size_t run = non_ascii_run(in, in_left);
            in_left = static_cast<std::size_t>(std::find_if(in, in + run, unnamed_in_1252) - in);
        }
        const char* from = in;
        char* out = out_.data() + out_end_;
        std::size_t out_left = out_.size() - out_end_;
        const std::size_t result = converter_->convert(in, in_left, out, out_left);
        if (windows1252)
            as_utf8_.feed(from, static_cast<std::size_t>(in - from));
        in_pos_ = static_cast<std::size_t>(in - in_.data());
        out_end_ = static_cast<std::size_t>(out - out_.data());
        if (result != static_cast<std::size_t>(-1))
            continue;
        if (errno != EILSEQ)
            return; // the output is full, or a character is cut short: more comes
        if (!put(replacement))
            return; // once the reader has taken what is there
        in_pos_ = std::min(in_pos_ + unit, in_end_);
        ++replaced_;
    }
}

EncodingSink::EncodingSink(ByteSink& sink, const DecodingSource& input)
    : sink_(sink), input_(input), out_(buffer_bytes)
{
}

EncodingSink::~EncodingSink() { flush(); }

void EncodingSink::start()
{
    started_ = true;
    if (input_.had_bom())
        sink_.write(bom_of(input_.encoding()));
}

void EncodingSink::write(std::string_view bytes)
{
    if (!started_)
        start();
    if (!encoding_) {
        // ASCII is written the same in UTF-8 and Windows-1252, while the input has not
        // decided between them.
        std::optional<Encoding> chosen = input_.decided();
        if (!chosen) {
            const std::size_t ascii = ascii_run(bytes.data(), bytes.size());
            put(bytes.data(), ascii);
            bytes.remove_prefix(ascii);
            if (bytes.empty())
                return;
            chosen = Encoding::utf8;
        }
        encoding_ = chosen;
        if (*chosen != Encoding::utf8)
            converter_.emplace(*chosen, Encoding::utf8);
    }
    if (!converter_) {
        sink_.write(bytes);
        return;
    }
    if (pending_.empty()) {
        convert(bytes);
        return;
    }
    joined_.assign(pending_);
    joined_.append(bytes);
    pending_.clear();
    convert(joined_);
}

void EncodingSink::convert(std::string_view text)
{
    const bool windows1252 = encoding_ == Encoding::windows1252;
    const char* in = text.data();
    std::size_t in_left = text.size();
    while (in_left > 0) {
        std::size_t run = in_left;
        if (windows1252) {
            const std::size_t n = ascii_run(in, in_left);
            put(in, n);
            in += n;
            in_left -= n;
            if (n > 0)
                continue;
            // The control characters that stand for the bytes Windows-1252 leaves unnamed.
            if (in_left >= 2 && in[0] == '\xC2' && unnamed_in_1252(in[1])) {
                put(in + 1, 1);
                in += 2;
                in_left -= 2;
                continue;
            }
            run = non_ascii_run(in, in_left);
            for (std::size_t i = 1; i + 1 < run; ++i) {
                if (in[i] == '\xC2' && unnamed_in_1252(in[i + 1])) {
                    run = i;
                    break;
                }
            }
        }
        std::size_t run_left = run;
        char* out = out_.data();
        std::size_t out_left = out_.size();
        const std::size_t result = converter_->convert(in, run_left, out, out_left);
        in_left -= run - run_left;
        put(out_.data(), out_.size() - out_left);
        if (result != static_cast<std::size_t>(-1)) {
            approximated_ += result;
            continue;
        }
        if (errno == EINVAL && run_left == in_left) {
            pending_.assign(in, in_left); // the rest of this character comes next
            return;
        }
        if (errno != E2BIG) {
            put("?", 1);
            ++in;
            --in_left;
            ++approximated_;
        }
    }
}

void EncodingSink::put(const char* bytes, std::size_t size)
{
    if (size > 0)
        sink_.write(std::string_view(bytes, size));
}

void EncodingSink::flush()
{
    if (pending_.empty())
        return;
    pending_.clear();
    put("?", 1);
    ++approximated_;
}

} // namespace quemador::text
