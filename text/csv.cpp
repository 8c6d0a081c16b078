// SPDX-License-Identifier: GPL-3.0-or-later
#include "text/csv.h"

#include "text/buffers.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <iterator>

namespace quemador::text {
namespace {

// Where the reader's scan of a plain record stops.
std::array<bool, 256> reader_stops(char separator, bool quotes)
{
    std::array<bool, 256> stops{};
    stops.at(static_cast<unsigned char>(separator)) = true;
    stops.at('\n') = true;
    stops.at('\r') = true;
    if (quotes)
        stops.at('"') = true;
    return stops;
}

std::size_t length_of(LineEnd end)
{
    switch (end) {
    case LineEnd::none:
        return 0;
    case LineEnd::crlf:
        return 2;
    case LineEnd::lf:
    case LineEnd::cr:
        break;
    }
    return 1;
}

} // namespace

// The fields of a record with quoted fields, read one byte at a time into a text of
// their own, without their quotes. Line ends outside quotes are the reader's to find.
class QuotedFields {
public:
    QuotedFields(char separator, std::string& text, std::vector<FieldSpan>& spans,
                 std::vector<std::uint8_t>& quoted)
        : separator_(separator), text_(text), spans_(spans), quoted_(quoted)
    {
        text_.clear();
        spans_.clear();
        quoted_.clear();
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

    // Ends the last field.
    void end() { push(); }

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
            push();
            field_begin_ = text_.size();
            field_start_ = true;
            field_quoted_ = false;
        } else if (c == '"' && field_start_) {
            state_ = State::quoted;
            opened_ = true;
            field_quoted_ = true;
        } else {
            text_ += c;
            field_start_ = false;
        }
        return false;
    }

    void push()
    {
        spans_.push_back({field_begin_, text_.size()});
        quoted_.push_back(field_quoted_ ? 1 : 0);
    }

    char separator_;
    std::string& text_;
    std::vector<FieldSpan>& spans_;
    std::vector<std::uint8_t>& quoted_;
    State state_ = State::plain;
    std::size_t field_begin_ = 0;
    bool field_start_ = true;
    bool field_quoted_ = false;
    bool opened_ = false;
    bool broken_ = false;
};

std::string_view line_end_text(LineEnd end)
{
    switch (end) {
    case LineEnd::none:
        return {};
    case LineEnd::crlf:
        return "\r\n";
    case LineEnd::cr:
        return "\r";
    case LineEnd::lf:
        break;
    }
    return "\n";
}

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

CsvReader::CsvReader(ByteSource& source, char separator)
    : source_(source), buffer_(buffer_bytes + 1, '\n'), separator_(separator),
      stops_(reader_stops(separator, true))
{
}

void CsvReader::set_separator(char separator)
{
    separator_ = separator;
    stops_ = reader_stops(separator, true);
    quotes_off_ = false;
}

void CsvReader::mark()
{
    marked_ = true;
    mark_ = {pos_, line_};
}

void CsvReader::rewind()
{
    marked_ = false;
    pos_ = mark_.pos;
    line_ = mark_.line;
}

bool CsvReader::fill()
{
    if (at_end_)
        return false;
    const std::size_t keep = marked_ ? std::min(mark_.pos, record_) : record_;
    if (keep > 0) {
        std::memmove(buffer_.data(), buffer_.data() + keep, end_ - keep);
        consumed_ += keep;
        record_ -= keep;
        field_ -= keep;
        pos_ -= keep;
        end_ -= keep;
        mark_.pos -= marked_ ? keep : 0;
    }
    if (end_ == capacity())
        buffer_.resize(capacity() * 2 + 1); // a record longer than the buffer
    // Never more of one record than makes it too long, so that the same record is too
    // long wherever it lies in the buffer.
    const std::size_t wanted = std::min(
        capacity() - end_, max_record_bytes + 1 - std::min(record_bytes(), max_record_bytes));
    const std::size_t n = source_.read(buffer_.data() + end_, wanted);
    end_ += n;
    buffer_[end_] = '\n';
    at_end_ = n == 0;
    return n > 0;
}

bool CsvReader::have(std::size_t offset)
{
    while (record_ + offset >= end_) {
        if (!fill())
            return false;
    }
    return true;
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
        stops_ = reader_stops(separator_, true);
        quotes_off_ = false;
    }
    unclosed_quote_line_ = 0;
    record_ = field_ = pos_;
    spans_.clear();
    quoted_record_ = false;
    too_long_ = false;
    line_end_ = LineEnd::none;
    raw_length_ = 0;
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
            if (record_bytes() > max_record_bytes) {
                skip_long_record();
                return true;
            }
            if (!fill()) {
                if (pos_ < end_)
                    break; // a carriage return last in the input: scanned again as a line end
                spans_.push_back({field_ - record_, end_ - record_});
                finish(end_, LineEnd::none);
                return true;
            }
            break;
        }
    }
}

CsvReader::Scan CsvReader::scan_plain()
{
    // The record's and the field's starts are kept in registers while the scan runs:
    // stored to the members at each separator and read back at the next, the pair went
    // through memory as one load after two stores, which the processor waits for.
    const std::size_t record = record_;
    std::size_t field = field_;
    // The line feed after the bytes read stops the inner loop without a bound check.
    const char* p = buffer_.data() + pos_;
    for (;; ++p) {
        while (!stops_[static_cast<unsigned char>(*p)])
            ++p;
        const auto at = static_cast<std::size_t>(p - buffer_.data());
        if (at == end_) {
            pos_ = at;
            field_ = field;
            return Scan::more;
        }
        if (*p == separator_) {
            spans_.push_back({field - record, at - record});
            field = at + 1;
        } else if (*p == '\n') {
            spans_.push_back({field - record, at - record});
            finish(at, LineEnd::lf);
            return Scan::ended;
        } else if (*p == '\r') {
            field_ = field;
            if (at + 1 == end_ && !at_end_) {
                pos_ = at; // whether a line feed follows is not known yet
                return Scan::more;
            }
            spans_.push_back({field - record, at - record});
            finish(at, at + 1 < end_ && p[1] == '\n' ? LineEnd::crlf : LineEnd::cr);
            return Scan::ended;
        } else if (at == field) {
            field_ = field;
            return Scan::quoted; // a quote opening a field; one elsewhere is plain text
        }
    }
}

void CsvReader::finish(std::size_t content_end, LineEnd end)
{
    line_end_ = end;
    raw_length_ = content_end - record_;
    pos_ = content_end + length_of(end);
    line_ += end == LineEnd::none ? 0 : 1;
}

bool CsvReader::read_quoted()
{
    quoted_record_ = true;
    QuotedFields fields(separator_, unquoted_, spans_, quoted_);
    bool cr_before = false; // a carriage return outside quotes, before a line feed
    for (std::size_t offset = 0;; ++offset) {
        Step step = record_ + offset == end_ ? refill_quoted(fields) : Step::more;
        if (step == Step::more)
            step = take_quoted(fields, offset, cr_before);
        if (step != Step::more)
            return step == Step::record;
    }
}

CsvReader::Step CsvReader::refill_quoted(QuotedFields& fields)
{
    if (record_bytes() > max_record_bytes) {
        if (fields.open())
            return Step::unclosed;
        quoted_record_ = false;
        skip_long_record();
        return Step::record;
    }
    if (fill())
        return Step::more;
    if (fields.open())
        return Step::unclosed;
    fields.end();
    finish(end_, LineEnd::none);
    return Step::record;
}

CsvReader::Step CsvReader::take_quoted(QuotedFields& fields, std::size_t offset, bool& cr_before)
{
    const char c = buffer_[record_ + offset];
    if (c == '\r') {
        const bool lf_follows = have(offset + 1) && buffer_[record_ + offset + 1] == '\n';
        if (!fields.open()) {
            if (lf_follows) {
                cr_before = true; // the line feed ends the record
                return Step::more;
            }
            fields.end();
            finish(record_ + offset, LineEnd::cr);
            return Step::record;
        }
        line_ += lf_follows ? 0 : 1; // a lone carriage return in a quoted field
    }
    const bool ends = fields.take(c);
    if (fields.broken())
        return Step::unclosed;
    if (ends) {
        fields.end();
        finish(record_ + offset - (cr_before ? 1 : 0), cr_before ? LineEnd::crlf : LineEnd::lf);
        return Step::record;
    }
    if (fields.just_opened())
        quote_line_ = line_;
    line_ += c == '\n' ? 1 : 0;
    return Step::more;
}

void CsvReader::forget_quotes()
{
    unclosed_quote_line_ = quote_line_;
    stops_ = reader_stops(separator_, false);
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
    if (marked_) {
        pos_ = record_; // a look-ahead ends here
        return;
    }
    for (;;) {
        const char* begin = buffer_.data() + pos_;
        const char* stop = buffer_.data() + end_;
        const char* p = std::find_if(begin, stop, [](char c) { return c == '\n' || c == '\r'; });
        if (p == stop) {
            record_ = field_ = pos_ = end_; // what was read of it is dropped
            if (!fill())
                return;
            continue;
        }
        pos_ = static_cast<std::size_t>(p - buffer_.data());
        if (*p == '\r' && pos_ + 1 == end_ && !at_end_) {
            record_ = field_ = pos_; // whether a line feed follows is not known yet
            fill();
            continue;
        }
        const LineEnd end = *p == '\n'                     ? LineEnd::lf
            : pos_ + 1 < end_ && buffer_[pos_ + 1] == '\n' ? LineEnd::crlf
                                                           : LineEnd::cr;
        record_ = pos_;
        finish(pos_, end);
        raw_length_ = 0;
        return;
    }
}

void FileSink::write(std::string_view bytes) { std::fwrite(bytes.data(), 1, bytes.size(), file_); }

namespace {

std::array<bool, 256> special_characters(char separator)
{
    std::array<bool, 256> special{};
    for (const char c : {separator, '"', '\n', '\r'})
        special.at(static_cast<unsigned char>(c)) = true;
    return special;
}

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

CsvWriter::CsvWriter(ByteSink& sink, char separator, LineEnd line_end)
    : sink_(sink), buffer_(buffer_bytes), special_(special_characters(separator)),
      separator_(separator), line_end_(line_end == LineEnd::none ? LineEnd::lf : line_end)
{
}

CsvWriter::CsvWriter(ByteSink& sink, const CsvWriter& like)
    : sink_(sink), buffer_(buffer_bytes), special_(like.special_), separator_(like.separator_),
      line_end_(like.line_end_)
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
            flushed_ += bytes.size();
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

void CsvWriter::end_record(LineEnd end)
{
    switch (end == LineEnd::none ? line_end_ : end) {
    case LineEnd::crlf:
        put('\r');
        put('\n');
        break;
    case LineEnd::cr:
        put('\r');
        break;
    case LineEnd::lf:
    case LineEnd::none:
        put('\n');
        break;
    }
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
    flushed_ += used_;
    used_ = 0;
}

} // namespace quemador::text
