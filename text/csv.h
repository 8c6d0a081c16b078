// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Streaming CSV as RFC 4180 describes it: fields separated by one character, quoted
// fields with doubled quotes inside. Line ends are LF, CR LF or a lone CR (old Mac
// and Excel files), each record keeping its own. The reader holds one buffer and one
// record at a time, whatever the size of its input.

#include <array>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quemador::text {

// Where the reader takes its bytes from.
class ByteSource {
public:
    // Reads up to size bytes into buffer; returns 0 only at the end of the input.
    virtual std::size_t read(char* buffer, std::size_t size) = 0;
    virtual ~ByteSource() = default;
};

class FileSource : public ByteSource {
public:
    explicit FileSource(std::FILE* file) : file_(file) {}
    std::size_t read(char* buffer, std::size_t size) override;

private:
    std::FILE* file_;
};

// A text in memory, handed out whole or, for the tests, a few bytes at a time, so that
// characters and records straddle the refills.
class StringSource : public ByteSource {
public:
    explicit StringSource(std::string_view text,
                          std::size_t chunk = std::numeric_limits<std::size_t>::max())
        : text_(text), chunk_(chunk)
    {
    }
    std::size_t read(char* buffer, std::size_t size) override;

private:
    std::string_view text_;
    std::size_t chunk_;
};

// Where the writer puts its bytes.
class ByteSink {
public:
    virtual void write(std::string_view bytes) = 0;
    virtual ~ByteSink() = default;
};

class FileSink : public ByteSink {
public:
    explicit FileSink(std::FILE* file) : file_(file) {}
    void write(std::string_view bytes) override;

private:
    std::FILE* file_;
};

class StringSink : public ByteSink {
public:
    void write(std::string_view bytes) override { text.append(bytes); }
    std::string text;
};

// The longest record the reader takes, in bytes: a longer one is skipped and said so,
// so that memory stays bounded whatever arrives (a file of zeros, a quote never closed).
inline constexpr std::size_t max_record_bytes = std::size_t{1} << 20U;

// Where a field lies: from the start of its record's bytes, or of the text a record
// with quoted fields is read into.
struct FieldSpan {
    std::size_t begin;
    std::size_t end;
};

// How a record ends: none for the last one of an input without a final line end.
enum class LineEnd : std::uint8_t { none, lf, crlf, cr };

std::string_view line_end_text(LineEnd end);

class QuotedFields;

class CsvReader {
public:
    // Reads records separated by separator (never a quote or a line end).
    CsvReader(ByteSource& source, char separator);

    // Reads the next record; returns false at the end of the input. A blank line
    // gives one empty field. The fields are views valid until the next read.
    //
    // A quote opens a quoted field only at the start of a field; elsewhere it is an
    // ordinary character. A quoted field that is not closed properly (still open at
    // the end of the input or past max_record_bytes, or closed by a quote with more
    // text after it) is taken as text: the record is read again from where it began
    // as a plain line, quotes as ordinary characters, and unclosed_quote_line() says
    // where the quote opened; the records after it are read as usual. A record longer
    // than max_record_bytes is skipped to its line end and comes back with no fields
    // and too_long() set.
    bool next(std::vector<std::string_view>& fields);

    // The separator of the records read from now on.
    void set_separator(char separator);
    [[nodiscard]] char separator() const { return separator_; }

    // A look-ahead: mark() remembers where the next record begins, and rewind() goes
    // back there, to read the same records again. While a mark is set, nothing after
    // it is let go of, and a record longer than max_record_bytes comes back too_long()
    // without being passed over: rewind before reading on.
    void mark();
    void rewind();
    // Lets go of the mark without going back.
    void unmark() { marked_ = false; }

    // How the last record read ended.
    [[nodiscard]] LineEnd line_end() const { return line_end_; }
    [[nodiscard]] bool too_long() const { return too_long_; }
    // For the last record read, when it was read again as a plain line; 0 otherwise.
    [[nodiscard]] std::uint64_t unclosed_quote_line() const { return unclosed_quote_line_; }
    // The line where the last record read begins, counting every line end of the input.
    [[nodiscard]] std::uint64_t line() const { return record_line_; }
    [[nodiscard]] std::uint64_t bytes_read() const { return consumed_ + pos_; }
    // Whether a field of the last record read was quoted.
    [[nodiscard]] bool quoted(std::size_t field) const
    {
        return quoted_record_ && field < quoted_.size() && quoted_[field] != 0;
    }
    // For each field of the last record read, whether it was quoted; empty when none was.
    [[nodiscard]] std::span<const std::uint8_t> quoted_fields() const
    {
        return quoted_record_ ? std::span<const std::uint8_t>(quoted_)
                              : std::span<const std::uint8_t>();
    }

    // The bytes of the last record read as they were, without its line end: written
    // back with the same separator, they read as the same fields. Valid until the next
    // read.
    [[nodiscard]] std::string_view raw_record() const
    {
        return {buffer_.data() + record_, raw_length_};
    }

private:
    enum class Scan { ended, quoted, more };

    // Moves what must be kept (from the mark, or the record being read) to the front of
    // the buffer, growing the buffer when that fills it already, and reads more after
    // it. Returns false at the end of the input.
    bool fill();
    // Reads until the byte at record_ + offset is in the buffer; false at the end.
    bool have(std::size_t offset);
    bool read_record();
    // A record without quoted fields, read where it lies.
    Scan scan_plain();
    // A record with a quoted field, read again from its start into unquoted_.
    // Returns false when the quote is never closed.
    bool read_quoted();
    // What one step of reading a quoted record came to: more to read, the record whole,
    // or a quote that is not closed properly.
    enum class Step { more, record, unclosed };
    // Reads more of a quoted record whose bytes have run out.
    Step refill_quoted(QuotedFields& fields);
    // Takes the byte at offset of a quoted record; cr_before, a carriage return outside
    // quotes just before it.
    Step take_quoted(QuotedFields& fields, std::size_t offset, bool& cr_before);
    // Ends the record: its bytes end at content_end, followed by its line end.
    void finish(std::size_t content_end, LineEnd end);
    // Passes over the rest of a record that is too long, to the next line end.
    void skip_long_record();
    // Reads the record at record_ again as a plain line, quotes as text.
    void forget_quotes();
    // The bytes of the record so far, from record_ to end_.
    [[nodiscard]] std::size_t record_bytes() const { return end_ - record_; }
    // How many bytes the buffer takes, leaving room for the line feed after them.
    [[nodiscard]] std::size_t capacity() const { return buffer_.size() - 1; }

    ByteSource& source_;
    // Every position below is an index into buffer_. A record is read whole into the
    // buffer, so that its fields can be handed out as views; the bytes are never
    // changed. A line feed always follows the bytes read, so that the scan for the
    // end of a field needs no bound check.
    std::vector<char> buffer_;
    std::size_t record_ = 0; // the start of the record being read
    std::size_t field_ = 0;  // the start of the field being read (plain records)
    std::size_t pos_ = 0;    // the next byte to read
    std::size_t end_ = 0;    // the end of the bytes read
    std::vector<FieldSpan> spans_;
    std::string unquoted_;             // the fields of a record with quotes, without them
    std::vector<std::uint8_t> quoted_; // for such a record, whether each field was quoted
    std::uint64_t consumed_ = 0;
    std::uint64_t line_ = 1;
    std::uint64_t record_line_ = 0;
    std::size_t raw_length_ = 0;
    std::uint64_t unclosed_quote_line_ = 0;
    std::uint64_t quote_line_ = 0; // where the last quoted field opened
    struct Mark {
        std::size_t pos;
        std::uint64_t line;
    } mark_{};
    LineEnd line_end_ = LineEnd::none;
    bool marked_ = false;
    bool quoted_record_ = false;
    bool too_long_ = false;
    bool at_end_ = false;
    bool quotes_off_ = false; // for the record being read again as a plain line
    char separator_;
    std::array<bool, 256> stops_; // where the scan of a plain record stops
};

// Writes records, quoting the fields that hold the separator, a quote or a line end.
// The bytes gather in one buffer, which goes to the sink whenever it is full.
class CsvWriter {
public:
    // line_end: for records that do not give their own.
    CsvWriter(ByteSink& sink, char separator, LineEnd line_end);
    // A writer of the same separator and line end as like, into sink.
    CsvWriter(ByteSink& sink, const CsvWriter& like);
    CsvWriter(const CsvWriter&) = delete;
    CsvWriter& operator=(const CsvWriter&) = delete;
    ~CsvWriter();

    void field(std::string_view text);
    // A field known to hold none of the characters that need quotes, such as a
    // number: written without looking.
    void plain_field(std::string_view text);
    // Ends a record with its own line end, or with the writer's for none.
    void end_record(LineEnd end = LineEnd::none);
    // Bytes written as they are, such as a byte order mark.
    void raw(std::string_view bytes);
    // The fields of a record as the reader found them (CsvReader::raw_record).
    void fields_as_read(std::string_view record);
    void flush();
    // The bytes written so far, given to the sink or not.
    [[nodiscard]] std::size_t written() const { return flushed_ + used_; }

private:
    void put(std::string_view bytes);
    void put(char c);
    // The separator before every field of a record but the first.
    void separate();

    ByteSink& sink_;
    std::vector<char> buffer_;
    std::size_t used_ = 0;
    std::size_t flushed_ = 0;
    std::array<bool, 256> special_;
    char separator_;
    LineEnd line_end_;
    bool first_field_ = true;
};

} // namespace quemador::text
