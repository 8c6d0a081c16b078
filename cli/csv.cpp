#include "cli/csv.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <iterator>

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
    : source_(source), buffer_(buffer_size + 1, '\n'), separator_(separator.value_or(',')),
      detect_(!separator)
{
}

bool CsvReader::fill()
{
    if (record_ > 0) {
        std::memmove(buffer_.data(), buffer_.data() + record_, end_ - record_);
        consumed_ += record_;
        field_ -= record_;
        out_ -= record_;
        pos_ -= record_;
        end_ -= record_;
        record_ = 0;
    }
    if (end_ == capacity())
        buffer_.resize(capacity() * 2 + 1); // a record longer than the buffer
    const std::size_t n = source_.read(buffer_.data() + end_, capacity() - end_);
    end_ += n;
    buffer_[end_] = '\n';
    return n > 0;
}

void CsvReader::take(std::size_t n)
{
    if (out_ != pos_)
        std::memmove(buffer_.data() + out_, buffer_.data() + pos_, n);
    out_ += n;
    pos_ += n;
}

void CsvReader::scan_first_line()
{
    // The first line, or as much of it as one buffer holds.
    record_ = pos_;
    while (std::string_view(buffer_.data() + pos_, end_ - pos_).find('\n') ==
               std::string_view::npos &&
           end_ < capacity() && fill()) {}
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

bool CsvReader::read_header(std::vector<std::string_view>& fields)
{
    while (end_ - pos_ < byte_order_mark.size() && fill()) {}
    if (std::string_view(buffer_.data() + pos_, end_ - pos_).starts_with(byte_order_mark)) {
        had_bom_ = true;
        pos_ += byte_order_mark.size();
    }
    scan_first_line();
    return next(fields);
}

bool CsvReader::next(std::vector<std::string_view>& fields)
{
    fields.clear();
    if (!read_record())
        return false;
    const char* record = buffer_.data() + record_;
    std::transform(spans_.begin(), spans_.end(), std::back_inserter(fields),
                   [record](const Span& span) {
                       return std::string_view(record + span.begin, span.end - span.begin);
                   });
    return true;
}

bool CsvReader::read_record()
{
    spans_.clear();
    record_ = field_ = out_ = pos_;
    if (pos_ == end_ && !fill())
        return false;
    record_line_ = line_;
    quoted_record_ = false;
    bool quoted = false;
    bool field_start = true;
    // A carriage return is part of the field unless a line feed follows it.
    bool pending_cr = false;
    const auto end_record = [&]() {
        out_ -= pending_cr ? 1 : 0;
        end_field();
        raw_length_ = out_ - record_;
        return true;
    };
    for (;;) {
        if (pos_ == end_ && !fill())
            return end_record(); // the last record has no line end
        if (quoted) {
            const char* begin = buffer_.data() + pos_;
            const auto* quote = static_cast<const char*>(std::memchr(begin, '"', end_ - pos_));
            const std::size_t n =
                quote != nullptr ? static_cast<std::size_t>(quote - begin) : end_ - pos_;
            line_ += static_cast<std::uint64_t>(std::count(begin, begin + n, '\n'));
            take(n);
            if (quote == nullptr)
                continue;
            ++pos_;
            if (pos_ == end_ && !fill())
                return end_record();
            if (buffer_[pos_] == '"')
                take(1);
            else
                quoted = false;
            continue;
        }
        // A run of ordinary characters is taken at once. While nothing has to be moved
        // (no quotes so far in the field), the separators in the run are handled here
        // too: this loop reads most records whole.
        const char* begin = buffer_.data() + pos_;
        const char* end = buffer_.data() + end_;
        const char* stop = begin;
        if (out_ == pos_) {
            const char* run = begin; // ordinary characters since the last separator
            // The line feed after the bytes read stops this loop without a bound check.
            for (;; ++stop) {
                if (!special_[static_cast<unsigned char>(*stop)])
                    continue;
                if (*stop != separator_)
                    break;
                const auto at = static_cast<std::size_t>(stop - buffer_.data());
                spans_.push_back({field_ - record_, at - record_});
                field_ = at + 1;
                run = stop + 1;
                field_start = true;
            }
            if (stop != begin) {
                pos_ = out_ = static_cast<std::size_t>(stop - buffer_.data());
                field_start = field_start && stop == run;
                pending_cr = false;
                continue;
            }
        } else {
            while (stop < end && !special_[static_cast<unsigned char>(*stop)])
                ++stop;
            if (stop != begin) {
                take(static_cast<std::size_t>(stop - begin));
                field_start = false;
                pending_cr = false;
                continue;
            }
        }
        const char c = buffer_[pos_];
        if (c == '\n') {
            ++pos_;
            ++line_;
            return end_record();
        }
        pending_cr = c == '\r';
        if (c == separator_) {
            end_field();
            field_ = out_ = ++pos_;
            field_start = true;
        } else if (c == '\r') {
            take(1);
        } else if (c == '"' && field_start) {
            ++pos_;
            // An empty field so far starts after its opening quote: nothing to move.
            if (out_ == field_)
                field_ = out_ = pos_;
            quoted = true;
            quoted_record_ = true;
            field_start = false;
        } else {
            take(1);
            field_start = false;
        }
    }
}

void FileSink::write(std::string_view bytes) { std::fwrite(bytes.data(), 1, bytes.size(), file_); }

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
    std::memcpy(buffer_.data() + used_, bytes.data(), bytes.size());
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
    put(crlf_ ? std::string_view("\r\n") : std::string_view("\n"));
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
