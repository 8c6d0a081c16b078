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
    bool read_header(std::vector<std::string>& fields);

    // Reads the next record; returns false at the end of the input. A blank line
    // gives one empty field. A quote left open at the end of the input ends there.
    bool next(std::vector<std::string>& fields);

    [[nodiscard]] char separator() const { return separator_; }
    [[nodiscard]] bool had_bom() const { return had_bom_; }
    [[nodiscard]] bool crlf() const { return crlf_; }
    // The line where the last record read begins, the header being line 1.
    [[nodiscard]] std::uint64_t line() const { return record_line_; }
    [[nodiscard]] std::uint64_t bytes_read() const { return consumed_ + pos_; }

    // The bytes of the last record read, without its line end, when it had no quoted
    // field and lay whole in the buffer: written back as they are, its fields read the
    // same. Valid until the next read.
    [[nodiscard]] std::optional<std::string_view> raw_record() const
    {
        if (!raw_whole_)
            return std::nullopt;
        return std::string_view(buffer_.data() + raw_begin_, raw_end_ - raw_begin_);
    }

private:
    bool fill();
    // Reads one record into the first fields, counting them in used.
    bool read_record(std::vector<std::string>& fields, std::size_t& used);
    // Finds the line end and, unless it was given, the separator of the first line.
    void scan_first_line();

    ByteSource& source_;
    std::vector<char> buffer_;
    std::size_t pos_ = 0;
    std::size_t end_ = 0;
    std::uint64_t consumed_ = 0;
    std::uint64_t line_ = 1;
    std::uint64_t record_line_ = 0;
    std::size_t raw_begin_ = 0;
    std::size_t raw_end_ = 0;
    bool raw_whole_ = false;
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
class CsvWriter {
public:
    CsvWriter(ByteSink& sink, char separator, bool crlf);
    CsvWriter(const CsvWriter&) = delete;
    CsvWriter& operator=(const CsvWriter&) = delete;
    ~CsvWriter();

    void field(std::string_view text);
    void end_record();
    // Bytes written as they are, such as a byte order mark.
    void raw(std::string_view bytes);
    // The fields of a record as the reader found them (CsvReader::raw_record).
    void fields_as_read(std::string_view record);
    void flush();

private:
    ByteSink& sink_;
    std::string buffer_;
    std::array<bool, 256> special_;
    char separator_;
    bool crlf_;
    bool first_field_ = true;
};

} // namespace quemador::cli
