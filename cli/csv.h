#pragma once

// Streaming CSV as RFC 4180 describes it: fields separated by one character, quoted
// fields with doubled quotes inside, line ends LF or CRLF. The reader holds one buffer
// and one record at a time, whatever the size of its input.

#include <array>
#include <cstdint>
#include <cstdio>
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

class StringSource : public ByteSource {
public:
    explicit StringSource(std::string_view text) : text_(text) {}
    std::size_t read(char* buffer, std::size_t size) override;

private:
    std::string_view text_;
};

// The characters that end a run of plain text in a field: the separator, the quote
// and the line ends, as a table indexed by byte.
std::array<bool, 256> special_characters(char separator);

class CsvReader {
public:
    // Without a separator, read_header detects it.
    explicit CsvReader(ByteSource& source, std::optional<char> separator = std::nullopt);

    // Reads the header: passes over a UTF-8 byte order mark and, unless the separator
    // was given, takes whichever of ',', ';' and tab appears most often outside quotes
    // on the first line (',' when none does). Returns false for an empty input.
    bool read_header(std::vector<std::string_view>& fields);

    // Reads the next record; returns false at the end of the input. A blank line
    // gives one empty field. A quote left open at the end of the input ends there.
    // The fields are views into the reader's buffer, valid until the next read.
    bool next(std::vector<std::string_view>& fields);

    [[nodiscard]] char separator() const { return separator_; }
    [[nodiscard]] bool had_bom() const { return had_bom_; }
    [[nodiscard]] bool crlf() const { return crlf_; }
    // The line where the last record read begins, the header being line 1.
    [[nodiscard]] std::uint64_t line() const { return record_line_; }
    [[nodiscard]] std::uint64_t bytes_read() const { return consumed_ + pos_; }

    // The bytes of the last record read, without its line end, when it had no quoted
    // field: written back as they are, its fields read the same. Valid until the next
    // read.
    [[nodiscard]] std::optional<std::string_view> raw_record() const
    {
        if (quoted_record_)
            return std::nullopt;
        return std::string_view(buffer_.data() + record_, raw_length_);
    }

private:
    // Where a field lies in the buffer, from the start of its record.
    struct Span {
        std::size_t begin;
        std::size_t end;
    };

    // Moves the record being read to the front of the buffer, growing the buffer when
    // the record fills it already, and reads more after it. Returns false at the end
    // of the input.
    bool fill();
    // Reads one record into spans_.
    bool read_record();
    // Ends the field being read at out_.
    void end_field() { spans_.push_back({field_ - record_, out_ - record_}); }
    // The field being read takes the next n bytes at pos_.
    void take(std::size_t n);
    // Finds the line end and, unless it was given, the separator of the first line.
    void scan_first_line();
    // How many bytes the buffer takes, leaving room for the line feed after them.
    [[nodiscard]] std::size_t capacity() const { return buffer_.size() - 1; }

    ByteSource& source_;
    // Every position below is an index into buffer_. A record is always read whole
    // into the buffer, so that its fields can be handed out as views. A field without
    // quotes is left where it lies; a quoted one is moved down over its quotes. A line
    // feed always follows the bytes read, so that the scan for the end of a field needs
    // no bound check.
    std::vector<char> buffer_;
    std::size_t record_ = 0; // the start of the record being read
    std::size_t field_ = 0;  // the start of the field being read
    std::size_t out_ = 0;    // where the field's next byte goes (out_ <= pos_)
    std::size_t pos_ = 0;    // the next byte to read
    std::size_t end_ = 0;    // the end of the bytes read
    std::vector<Span> spans_;
    std::uint64_t consumed_ = 0;
    std::uint64_t line_ = 1;
    std::uint64_t record_line_ = 0;
    std::size_t raw_length_ = 0;
    bool quoted_record_ = false;
    char separator_ = ',';
    std::array<bool, 256> special_ = special_characters(',');
    bool detect_ = true;
    bool had_bom_ = false;
    bool crlf_ = false;
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
