// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Streaming CSV as RFC 4180 describes it: fields separated by one character, quoted
// fields with doubled quotes inside, line ends LF or CRLF. The reader holds one buffer
// and one record at a time, whatever the size of its input.

#include <array>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quemador::cli {

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

// The longest record the reader takes, in bytes: a longer one is skipped and said so,
// so that memory stays bounded whatever arrives (a file of zeros, a quote never closed).
inline constexpr std::size_t max_record_bytes = std::size_t{1} << 20U;

// The characters that make a field need quotes when written: the separator, the
// quote and the line ends, as a table indexed by byte.
std::array<bool, 256> special_characters(char separator);

// Where a field lies: from the start of its record's bytes, or of the text a record
// with quoted fields is read into.
struct FieldSpan {
    std::size_t begin;
    std::size_t end;
};

class CsvReader {
public:
    // Reads records separated by separator; first_line is the number of the line where
    // the first record begins.
    CsvReader(ByteSource& source, char separator, std::uint64_t first_line = 1);

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

    [[nodiscard]] char separator() const { return separator_; }
    // Whether the last record read ended with CR LF.
    [[nodiscard]] bool crlf() const { return crlf_; }
    [[nodiscard]] bool too_long() const { return too_long_; }
    // For the last record read, when it was read again as a plain line; 0 otherwise.
    // (A number, not an optional: read at once after the record, a copied optional
    // stalls the processor on every row.)
    [[nodiscard]] std::uint64_t unclosed_quote_line() const { return unclosed_quote_line_; }
    // The line where the last record read begins.
    [[nodiscard]] std::uint64_t line() const { return record_line_; }
    [[nodiscard]] std::uint64_t bytes_read() const { return consumed_ + pos_; }

    // The bytes of the last record read as they were, without its line end: written
    // back with the same separator, they read as the same fields. Valid until the next
    // read.
    [[nodiscard]] std::string_view raw_record() const
    {
        return {buffer_.data() + record_, raw_length_};
    }

private:
    enum class Scan { ended, quoted, more };

    // Moves the record being read to the front of the buffer, growing the buffer when
    // the record fills it already, and reads more after it. Returns false at the end
    // of the input.
    bool fill();
    bool read_record();
    // A record without quoted fields, read where it lies.
    Scan scan_plain();
    // A record with a quoted field, read again from its start into unquoted_.
    // Returns false when the quote is never closed.
    bool read_quoted();
    // Ends the record whose line end (or the end of the input) is at line_end, and
    // returns where its bytes end, without a carriage return before the line feed.
    std::size_t end_line(std::size_t line_end);
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
    std::string unquoted_; // the fields of a record with quotes, without them
    std::uint64_t consumed_ = 0;
    std::uint64_t line_ = 1;
    std::uint64_t record_line_ = 0;
    std::size_t raw_length_ = 0;
    std::uint64_t unclosed_quote_line_ = 0;
    std::uint64_t quote_line_ = 0; // where the last quoted field opened
    bool quoted_record_ = false;
    bool too_long_ = false;
    bool crlf_ = false;
    bool at_end_ = false;
    bool quotes_off_ = false; // for the record being read again as a plain line
    char separator_;
    std::array<bool, 256> special_;
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

// Writes records, quoting the fields that hold the separator, a quote or a line end.
// The bytes gather in one buffer, which goes to the sink whenever it is full.
class CsvWriter {
public:
    CsvWriter(ByteSink& sink, char separator, bool crlf);
    CsvWriter(const CsvWriter&) = delete;
    CsvWriter& operator=(const CsvWriter&) = delete;
    ~CsvWriter();

    void field(std::string_view text);
    // A field known to hold none of the characters that need quotes, such as a
    // number: written without looking.
    void plain_field(std::string_view text);
    void end_record();
    // Bytes written as they are, such as a byte order mark.
    void raw(std::string_view bytes);
    // The fields of a record as the reader found them (CsvReader::raw_record).
    void fields_as_read(std::string_view record);
    void flush();

private:
    void put(std::string_view bytes);
    void put(char c);
    // The separator before every field of a record but the first.
    void separate();

    ByteSink& sink_;
    std::vector<char> buffer_;
    std::size_t used_ = 0;
    std::array<bool, 256> special_;
    char separator_;
    bool crlf_;
    bool first_field_ = true;
};

} // namespace quemador::cli
