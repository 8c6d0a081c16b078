// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/csv.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <iterator>

namespace quemador::cli {
namespace {

constexpr std::size_t buffer_size = std::size_t{64} * 1024;

} // namespace

std::array<bool, 256> special_characters(char separator)
{
    std::array<bool, 256> special{};
    for (const char c : {separator, '"', '\n', '\r'})
        special.at(static_cast<unsigned char>(c)) = true;
    return special;
}

namespace {

// Where the reader's scan of a plain record stops: a carriage return only matters
// before a line feed, which the scan looks back for.
std::array<bool, 256> reader_stops(char separator, bool quotes)
{
    std::array<bool, 256> stops{};
    stops.at(static_cast<unsigned char>(separator)) = true;
    stops.at('\n') = true;
    if (quotes)
        stops.at('"') = true;
    return stops;
}

// The fields of a record with quoted fields, read one byte at a time into a text of
// their own, without their quotes.
class QuotedFields {
public:
    QuotedFields(char separator, std::string& text, std::vector<FieldSpan>& spans)
        : separator_(separator), text_(text), spans_(spans)
    {
        text_.clear();
        spans_.clear();
    }

    // Takes one byte; returns true when it is the line feed that ends the record.
    bool take(char c)
    {
        opened_ = false;
        if (state_ == State::quoted) {
            if (c == '"')
                state_ = State::quote_in_quoted;
            else
                text_ += c;
            return false;
        }
        if (state_ == State::quote_in_quoted) {
            state_ = State::plain;
            field_start_ = false;
            if (c == '"') {
                state_ = State::quoted;
                text_ += c;
                return false;
            }
            // Text after a closing quote: the quote was not one that closes.
            broken_ = c != separator_ && c != '\n' && c != '\r';
        }
        return take_plain(c);
    }

    // Ends the last field; a carriage return before the line end is not part of it.
    void end()
    {
        if (state_ == State::plain && cr_last_)
            text_.pop_back();
        spans_.push_back({field_begin_, text_.size()});
    }

    // Whether a quoted field is open.
    [[nodiscard]] bool open() const { return state_ == State::quoted; }
    // Whether a quoted field was closed by a quote with more text after it.
    [[nodiscard]] bool broken() const { return broken_; }
    // Whether the last byte taken opened a quoted field.
    [[nodiscard]] bool just_opened() const { return opened_; }

private:
    enum class State { plain, quoted, quote_in_quoted };

    bool take_plain(char c)
    {
        if (c == '\n')
            return true;
        if (c == separator_) {
            spans_.push_back({field_begin_, text_.size()});
            field_begin_ = text_.size();
            field_start_ = true;
            cr_last_ = false;
        } else if (c == '"' && field_start_) {
            state_ = State::quoted;
            opened_ = true;
        } else {
            text_ += c;
            cr_last_ = c == '\r';
            field_start_ = false;
        }
        return false;
    }

    char separator_;
    std::string& text_;
    std::vector<FieldSpan>& spans_;
    State state_ = State::plain;
    std::size_t field_begin_ = 0;
    bool field_start_ = true;
    bool cr_last_ = false;
    bool opened_ = false;
    bool broken_ = false;
};

} // namespace

std::size_t FileSource::read(char* buffer, std::size_t size)
{
    return std::fread(buffer, 1, size, file_);
}

std::size_t StringSource::read(char* buffer, std::size_t size)
{
    const std::size_t n = std::min({size, chunk_, text_.size()});
    std::memcpy(buffer, text_.data(), n);
    text_.remove_prefix(n);
    return n;
}

CsvReader::CsvReader(ByteSource& source, char separator, std::uint64_t first_line)
    : source_(source), buffer_(buffer_size + 1, '\n'), line_(first_line), separator_(separator),
      special_(reader_stops(separator, true))
{
}

bool CsvReader::fill()
{
    if (at_end_)
        return false;
    if (record_ > 0) {
        std::memmove(buffer_.data(), buffer_.data() + record_, end_ - record_);
        consumed_ += record_;
        field_ -= record_;
        pos_ -= record_;
        end_ -= record_;
        record_ = 0;
    }
    if (end_ == capacity())
        buffer_.resize(capacity() * 2 + 1); // a record longer than the buffer
    const std::size_t n = source_.read(buffer_.data() + end_, capacity() - end_);
    end_ += n;
    buffer_[end_] = '\n';
    at_end_ = n == 0;
    return n > 0;
}

bool CsvReader::next(std::vector<std::string_view>& fields)
{
    fields.clear();
    if (!read_record())
        return false;
    const char* base = quoted_record_ ? unquoted_.data() : buffer_.data() + record_;
    std::transform(spans_.begin(), spans_.end(), std::back_inserter(fields),
                   [base](const FieldSpan& span) {
                       return std::string_view(base + span.begin, span.end - span.begin);
                   });
    return true;
}

bool CsvReader::read_record()
{
    if (quotes_off_) {
        special_ = reader_stops(separator_, true);
        quotes_off_ = false;
    }
    unclosed_quote_line_ = 0;
    record_ = field_ = pos_;
    spans_.clear();
    quoted_record_ = false;
    too_long_ = false;
    if (pos_ == end_ && !fill())
        return false;
    record_line_ = line_;
    for (;;) {
        switch (scan_plain()) {
        case Scan::ended:
            return true;
        case Scan::quoted:
            if (read_quoted())
                return true;
            forget_quotes();
            break;
        case Scan::more:
            if (record_bytes() >= max_record_bytes) {
                skip_long_record();
                return true;
            }
            if (!fill()) {
                // The last record has no line end.
                spans_.push_back({field_ - record_, end_line(end_) - record_});
                return true;
            }
            break;
        }
    }
}

CsvReader::Scan CsvReader::scan_plain()
{
    // The line feed after the bytes read stops the inner loop without a bound check.
    const char* p = buffer_.data() + pos_;
    for (;; ++p) {
        while (!special_[static_cast<unsigned char>(*p)])
            ++p;
        const auto at = static_cast<std::size_t>(p - buffer_.data());
        if (at == end_) {
            pos_ = at;
            return Scan::more;
        }
        if (*p == separator_) {
            spans_.push_back({field_ - record_, at - record_});
            field_ = at + 1;
        } else if (*p == '\n') {
            spans_.push_back({field_ - record_, end_line(at) - record_});
            return Scan::ended;
        } else if (at == field_) {
            return Scan::quoted; // a quote opening a field; one elsewhere is plain text
        }
    }
}

std::size_t CsvReader::end_line(std::size_t line_end)
{
    const bool line_feed = line_end < end_;
    const bool cr = line_end > record_ && buffer_[line_end - 1] == '\r';
    crlf_ = line_feed && cr;
    pos_ = line_feed ? line_end + 1 : line_end;
    line_ += line_feed ? 1 : 0;
    raw_length_ = line_end - (cr ? 1 : 0) - record_;
    return record_ + raw_length_;
}

bool CsvReader::read_quoted()
{
    quoted_record_ = true;
    QuotedFields fields(separator_, unquoted_, spans_);
    for (std::size_t offset = 0;; ++offset) {
        if (record_ + offset == end_) {
            if (record_bytes() >= max_record_bytes) {
                if (fields.open())
                    return false;
                quoted_record_ = false;
                skip_long_record();
                return true;
            }
            if (!fill()) {
                if (fields.open())
                    return false;
                fields.end();
                end_line(end_);
                return true;
            }
        }
        const char c = buffer_[record_ + offset];
        const bool ends = fields.take(c);
        if (fields.broken())
            return false;
        if (ends) {
            fields.end();
            end_line(record_ + offset);
            return true;
        }
        if (fields.just_opened())
            quote_line_ = line_;
        line_ += c == '\n' ? 1 : 0;
    }
}

void CsvReader::forget_quotes()
{
    unclosed_quote_line_ = quote_line_;
    special_ = reader_stops(separator_, false);
    quotes_off_ = true;
    pos_ = field_ = record_;
    line_ = record_line_;
    spans_.clear();
    quoted_record_ = false;
}

void CsvReader::skip_long_record()
{
    too_long_ = true;
    spans_.clear();
    raw_length_ = 0;
    for (;;) {
        const auto* line_feed =
            static_cast<const char*>(std::memchr(buffer_.data() + pos_, '\n', end_ - pos_));
        if (line_feed != nullptr) {
            pos_ = static_cast<std::size_t>(line_feed - buffer_.data()) + 1;
            ++line_;
            return;
        }
        record_ = field_ = pos_ = end_; // what was read of it is dropped
        if (!fill())
            return;
    }
}

void FileSink::write(std::string_view bytes) { std::fwrite(bytes.data(), 1, bytes.size(), file_); }

namespace {

// Copies bytes to out. Most fields are a few bytes: those are copied in two words that
// may overlap, without a call to the library's general copy.
void copy(std::string_view bytes, char* out)
{
    const std::size_t n = bytes.size();
    const char* in = bytes.data();
    if (n > 16) {
        std::memcpy(out, in, n);
    } else if (n >= 8) {
        std::memcpy(out, in, 8);
        std::memcpy(out + n - 8, in + n - 8, 8);
    } else if (n >= 4) {
        std::memcpy(out, in, 4);
        std::memcpy(out + n - 4, in + n - 4, 4);
    } else {
        for (std::size_t i = 0; i < n; ++i)
            out[i] = in[i];
    }
}

} // namespace

CsvWriter::CsvWriter(ByteSink& sink, char separator, bool crlf)
    : sink_(sink), buffer_(buffer_size), special_(special_characters(separator)),
      separator_(separator), crlf_(crlf)
{
}

CsvWriter::~CsvWriter() { flush(); }

void CsvWriter::put(std::string_view bytes)
{
    if (bytes.empty())
        return; // an empty view may hold no pointer at all, which memcpy must not get
    if (bytes.size() > buffer_.size() - used_) {
        flush();
        if (bytes.size() > buffer_.size()) {
            sink_.write(bytes);
            return;
        }
    }
    copy(bytes, buffer_.data() + used_);
    used_ += bytes.size();
}

void CsvWriter::put(char c)
{
    if (used_ == buffer_.size())
        flush();
    buffer_[used_++] = c;
}

void CsvWriter::separate()
{
    if (!first_field_)
        put(separator_);
    first_field_ = false;
}

void CsvWriter::field(std::string_view text)
{
    separate();
    const bool plain = std::none_of(text.begin(), text.end(), [this](char c) {
        return special_[static_cast<unsigned char>(c)];
    });
    if (plain) {
        put(text);
        return;
    }
    put('"');
    for (const char c : text) {
        if (c == '"')
            put('"');
        put(c);
    }
    put('"');
}

void CsvWriter::plain_field(std::string_view text)
{
    separate();
    put(text);
}

void CsvWriter::end_record()
{
    if (crlf_)
        put('\r');
    put('\n');
    first_field_ = true;
}

void CsvWriter::raw(std::string_view bytes) { put(bytes); }

void CsvWriter::fields_as_read(std::string_view record)
{
    put(record);
    first_field_ = false;
}

void CsvWriter::flush()
{
    if (used_ > 0)
        sink_.write(std::string_view(buffer_.data(), used_));
    used_ = 0;
}

} // namespace quemador::cli
