// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/encoding.h"

#include "cli/names.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iconv.h>
#include <stdexcept>

namespace quemador::cli {
namespace {

constexpr std::size_t chunk_size = std::size_t{64} * 1024;
constexpr std::string_view utf8_bom = "\xEF\xBB\xBF";
constexpr std::string_view utf16le_bom = "\xFF\xFE";
constexpr std::string_view utf16be_bom = "\xFE\xFF";
constexpr std::string_view replacement = "\xEF\xBF\xBD"; // U+FFFD

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

// How many bytes at the start of text are ASCII, which Windows-1252 and UTF-8 share.
std::size_t ascii_run(const char* text, std::size_t size)
{
    std::size_t n = 0;
    while (n < size && static_cast<unsigned char>(text[n]) < 0x80)
        ++n;
    return n;
}

std::size_t non_ascii_run(const char* text, std::size_t size)
{
    std::size_t n = 0;
    while (n < size && static_cast<unsigned char>(text[n]) >= 0x80)
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

} // namespace

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
        const auto lead = static_cast<unsigned char>(bytes[i]);
        const std::size_t length = sequence_length(lead);
        if (length == 0)
            return false;
        const std::size_t available = std::min(length, bytes.size() - i);
        for (std::size_t k = 1; k < available; ++k) {
            if ((static_cast<unsigned char>(bytes[i + k]) & 0xC0U) != 0x80U)
                return false;
        }
        if (available < length)
            return more_follows;
        i += length;
    }
    return true;
}

Converter::Converter(const char* to, const char* from) : handle_(iconv_open(to, from))
{
    if (handle_ == reinterpret_cast<void*>(-1)) // NOLINT(performance-no-int-to-ptr)
        throw std::runtime_error(std::string("iconv no convierte de ") + from + " a " + to);
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

DecodingSource::DecodingSource(ByteSource& source, std::optional<Encoding> encoding)
    : source_(source), given_(encoding), in_(chunk_size), out_(chunk_size)
{
}

void DecodingSource::detect()
{
    if (detected_)
        return;
    detected_ = true;
    while (in_end_ < in_.size()) {
        const std::size_t n = source_.read(in_.data() + in_end_, in_.size() - in_end_);
        if (n == 0)
            break;
        in_end_ += n;
    }
    const std::string_view start(in_.data(), in_end_);
    const bool full = in_end_ == in_.size();
    if (start.starts_with(utf8_bom) && given_.value_or(Encoding::utf8) == Encoding::utf8)
        encoding_ = Encoding::utf8;
    else if (start.starts_with(utf16le_bom) && given_ != Encoding::windows1252 &&
             given_ != Encoding::utf8)
        encoding_ = Encoding::utf16le;
    else if (start.starts_with(utf16be_bom) && given_ != Encoding::windows1252 &&
             given_ != Encoding::utf8)
        encoding_ = Encoding::utf16be;
    else
        encoding_ =
            given_.value_or(valid_utf8(start, full) ? Encoding::utf8 : Encoding::windows1252);
    bom_ = start.starts_with(bom_of(encoding_)) && !bom_of(encoding_).empty();
    if (bom_)
        in_pos_ = bom_of(encoding_).size();
    if (encoding_ != Encoding::utf8)
        converter_.emplace("UTF-8", std::string(encoding_name(encoding_)).c_str());
}

std::size_t DecodingSource::read(char* buffer, std::size_t size)
{
    detect();
    if (!converter_) {
        // UTF-8 goes through as it is.
        if (in_pos_ == in_end_)
            return source_.read(buffer, size);
        const std::size_t n = std::min(size, in_end_ - in_pos_);
        std::memcpy(buffer, in_.data() + in_pos_, n);
        in_pos_ += n;
        return n;
    }
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
            // A character cut short by the end of the input.
            in_pos_ = in_end_;
            replace_invalid();
            return true;
        }
    }
}

void DecodingSource::replace_invalid()
{
    std::memcpy(out_.data() + out_end_, replacement.data(), replacement.size());
    out_end_ += replacement.size();
    ++invalid_;
}

void DecodingSource::convert()
{
    // Windows-1252 text is mostly ASCII, which is copied as it is; iconv converts the rest.
    const bool ascii_shortcut = encoding_ == Encoding::windows1252;
    const std::size_t unit = ascii_shortcut ? 1 : 2;
    while (in_pos_ < in_end_ && out_.size() - out_end_ >= replacement.size()) {
        const char* in = in_.data() + in_pos_;
        std::size_t in_left = in_end_ - in_pos_;
        if (ascii_shortcut) {
            const std::size_t n = ascii_run(in, std::min(in_left, out_.size() - out_end_));
            std::memcpy(out_.data() + out_end_, in, n);
            in_pos_ += n;
            out_end_ += n;
            if (n > 0)
                continue;
            in_left = non_ascii_run(in, in_left);
        }
        char* out = out_.data() + out_end_;
        std::size_t out_left = out_.size() - out_end_;
        const std::size_t result = converter_->convert(in, in_left, out, out_left);
        in_pos_ = static_cast<std::size_t>(in - in_.data());
        out_end_ = static_cast<std::size_t>(out - out_.data());
        if (result != static_cast<std::size_t>(-1))
            continue;
        if (errno != EILSEQ)
            return; // the output is full, or a character is cut short: more comes
        in_pos_ = std::min(in_pos_ + unit, in_end_);
        replace_invalid();
    }
}

EncodingSink::EncodingSink(ByteSink& sink, Encoding encoding, bool bom)
    : sink_(sink), encoding_(encoding), bom_(bom), out_(chunk_size)
{
    if (encoding != Encoding::utf8)
        converter_.emplace((std::string(encoding_name(encoding)) + "//TRANSLIT").c_str(), "UTF-8");
}

EncodingSink::~EncodingSink() { flush(); }

void EncodingSink::write(std::string_view bytes)
{
    if (!started_) {
        started_ = true;
        if (bom_)
            sink_.write(bom_of(encoding_));
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
    const bool ascii_shortcut = encoding_ == Encoding::windows1252;
    const char* in = text.data();
    std::size_t in_left = text.size();
    while (in_left > 0) {
        if (ascii_shortcut) {
            const std::size_t n = ascii_run(in, in_left);
            put(in, n);
            in += n;
            in_left -= n;
            if (n > 0)
                continue;
        }
        const std::size_t run = ascii_shortcut ? non_ascii_run(in, in_left) : in_left;
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

} // namespace quemador::cli
