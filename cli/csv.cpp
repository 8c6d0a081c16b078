#include "cli/csv.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace quemador::cli {
namespace {

constexpr std::size_t buffer_size = std::size_t{64} * 1024;
constexpr std::string_view byte_order_mark = "\xEF\xBB\xBF";

} // namespace

std::array<bool, 256> special_characters(char separator)
{
    std::array<bool, 256> special{};
    for (const char c : {separator, '"', '\n', '\r'})
        special.at(static_cast<unsigned char>(c)) = true;
    return special;
}

std::size_t FileSource::read(char* buffer, std::size_t size)
{
    return std::fread(buffer, 1, size, file_);
}

std::size_t StringSource::read(char* buffer, std::size_t size)
{
    const std::size_t n = std::min(size, text_.size());
    std::memcpy(buffer, text_.data(), n);
    text_.remove_prefix(n);
    return n;
}

CsvReader::CsvReader(ByteSource& source, std::optional<char> separator)
    : source_(source), buffer_(buffer_size), separator_(separator.value_or(',')),
      detect_(!separator)
{
}

bool CsvReader::fill()
{
    if (pos_ > 0) {
        std::memmove(buffer_.data(), buffer_.data() + pos_, end_ - pos_);
        consumed_ += pos_;
        end_ -= pos_;
        pos_ = 0;
    }
    if (end_ == buffer_.size())
        return false;
    const std::size_t n = source_.read(buffer_.data() + end_, buffer_.size() - end_);
    end_ += n;
    return n > 0;
}

void CsvReader::scan_first_line()
{
    // The first line, or as much of it as the buffer holds.
    while (std::string_view(buffer_.data() + pos_, end_ - pos_).find('\n') ==
               std::string_view::npos &&
           fill()) {}
    std::array<std::size_t, 3> counts{};
    constexpr std::array<char, 3> candidates = {',', ';', '\t'};
    bool quoted = false;
    for (std::size_t i = pos_; i < end_; ++i) {
        const char c = buffer_[i];
        if (c == '"') {
            quoted = !quoted;
        } else if (!quoted && c == '\n') {
            crlf_ = i > pos_ && buffer_[i - 1] == '\r';
            break;
        } else if (!quoted) {
            for (std::size_t k = 0; k < candidates.size(); ++k)
                counts[k] += c == candidates[k] ? 1 : 0;
        }
    }
    const auto* most = std::max_element(counts.begin(), counts.end());
    if (detect_)
        separator_ = *most > 0 ? candidates[static_cast<std::size_t>(most - counts.begin())] : ',';
    special_ = special_characters(separator_);
}

bool CsvReader::read_header(std::vector<std::string>& fields)
{
    while (end_ - pos_ < byte_order_mark.size() && fill()) {}
    if (std::string_view(buffer_.data() + pos_, end_ - pos_).starts_with(byte_order_mark)) {
        had_bom_ = true;
        pos_ += byte_order_mark.size();
    }
    scan_first_line();
    return next(fields);
}

bool CsvReader::next(std::vector<std::string>& fields)
{
    std::size_t used = 0;
    const bool read = read_record(fields, used);
    fields.resize(used);
    return read;
}

bool CsvReader::read_record(std::vector<std::string>& fields, std::size_t& used)
{
    // The strings of the previous record are reused, keeping their capacity.
    const auto next_field = [&]() {
        if (used == fields.size())
            fields.emplace_back();
        else
            fields[used].clear();
        return &fields[used++];
    };
    if (pos_ == end_ && !fill())
        return false;
    record_line_ = line_;
    raw_begin_ = pos_;
    raw_whole_ = true;
    std::string* field = next_field();
    bool quoted = false;
    bool field_start = true;
    bool pending_cr = false;
    for (;;) {
        if (pos_ == end_) {
            raw_whole_ = false; // refilling moves the bytes of the buffer
            if (!fill())
                return true;
        }
        if (quoted) {
            const char* begin = buffer_.data() + pos_;
            const auto* quote = static_cast<const char*>(std::memchr(begin, '"', end_ - pos_));
            const std::size_t n =
                quote != nullptr ? static_cast<std::size_t>(quote - begin) : end_ - pos_;
            line_ += static_cast<std::uint64_t>(std::count(begin, begin + n, '\n'));
            field->append(begin, n);
            pos_ += n;
            if (quote == nullptr)
                continue;
            ++pos_;
            if (pos_ == end_ && !fill())
                return true;
            if (buffer_[pos_] == '"') {
                field->push_back('"');
                ++pos_;
            } else {
                quoted = false;
            }
            continue;
        }
        if (!pending_cr) {
            // A run of ordinary characters goes in at once.
            const char* begin = buffer_.data() + pos_;
            const char* end = buffer_.data() + end_;
            const char* stop = begin;
            while (stop < end && !special_[static_cast<unsigned char>(*stop)])
                ++stop;
            if (stop != begin) {
                field->append(begin, stop);
                pos_ += static_cast<std::size_t>(stop - begin);
                field_start = false;
                continue;
            }
        }
        const char c = buffer_[pos_++];
        if (c == '\n') {
            ++line_;
            raw_end_ = pos_ - (pending_cr ? 2 : 1);
            return true;
        }
        if (pending_cr) {
            field->push_back('\r');
            pending_cr = false;
        }
        if (c == separator_) {
            field = next_field();
            field_start = true;
        } else if (c == '\r') {
            pending_cr = true;
        } else if (c == '"' && field_start) {
            quoted = true;
            raw_whole_ = false;
            field_start = false;
        } else {
            field->push_back(c);
            field_start = false;
        }
    }
}

void FileSink::write(std::string_view bytes) { std::fwrite(bytes.data(), 1, bytes.size(), file_); }

CsvWriter::CsvWriter(ByteSink& sink, char separator, bool crlf)
    : sink_(sink), special_(special_characters(separator)), separator_(separator), crlf_(crlf)
{
    buffer_.reserve(buffer_size + 1024);
}

CsvWriter::~CsvWriter() { flush(); }

void CsvWriter::field(std::string_view text)
{
    if (!first_field_)
        buffer_.push_back(separator_);
    first_field_ = false;
    const bool plain = std::none_of(text.begin(), text.end(), [this](char c) {
        return special_[static_cast<unsigned char>(c)];
    });
    if (plain) {
        buffer_.append(text);
        return;
    }
    buffer_.push_back('"');
    for (const char c : text) {
        if (c == '"')
            buffer_.push_back('"');
        buffer_.push_back(c);
    }
    buffer_.push_back('"');
}

void CsvWriter::end_record()
{
    buffer_.append(crlf_ ? "\r\n" : "\n");
    first_field_ = true;
    if (buffer_.size() >= buffer_size)
        flush();
}

void CsvWriter::raw(std::string_view bytes) { buffer_.append(bytes); }

void CsvWriter::fields_as_read(std::string_view record)
{
    buffer_.append(record);
    first_field_ = false;
}

void CsvWriter::flush()
{
    if (!buffer_.empty())
        sink_.write(buffer_);
    buffer_.clear();
}

} // namespace quemador::cli
