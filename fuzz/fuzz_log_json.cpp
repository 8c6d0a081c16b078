// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzzes the page's log view through its JSON: any bytes as the log, with a request of
// the options the page's boxes give taken from the first bytes. A form feed splits the
// bytes into several files read as one, so that their merge and the files left out are
// reached too.
// Properties: the answer is one JSON object, well-formed, with a status; of several
// files, the status is 2 exactly when some file is left out or none can be read.

#include "fuzz_checks.h"
#include "log/json.h"
#include "web/log_page.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

using namespace quemador;

namespace {

// Whether a text is one JSON value, by its syntax.
class JsonCheck {
public:
    explicit JsonCheck(std::string_view text) : text_(text) {}

    bool whole() { return value() && at_ == text_.size(); }

private:
    bool value()
    {
        if (at_ >= text_.size() || ++depth_ > 64)
            return false;
        bool ok = false;
        const char c = text_[at_];
        if (c == '{')
            ok = members('}', true);
        else if (c == '[')
            ok = members(']', false);
        else if (c == '"')
            ok = string();
        else if (c == 't' || c == 'f' || c == 'n')
            ok = word();
        else
            ok = number();
        --depth_;
        return ok;
    }
    bool members(char close, bool named)
    {
        ++at_;
        if (at_ < text_.size() && text_[at_] == close) {
            ++at_;
            return true;
        }
        while (true) {
            if (named && !(string() && at_ < text_.size() && text_[at_++] == ':'))
                return false;
            if (!value() || at_ >= text_.size())
                return false;
            const char next = text_[at_++];
            if (next == close)
                return true;
            if (next != ',')
                return false;
        }
    }
    bool string()
    {
        if (at_ >= text_.size() || text_[at_] != '"')
            return false;
        for (++at_; at_ < text_.size(); ++at_) {
            const auto c = static_cast<unsigned char>(text_[at_]);
            if (c < 0x20)
                return false;
            if (c == '\\')
                ++at_;
            else if (c == '"') {
                ++at_;
                return true;
            }
        }
        return false;
    }
    bool word()
    {
        constexpr std::array<std::string_view, 3> words = {"true", "false", "null"};
        const auto* const found =
            std::find_if(words.begin(), words.end(),
                         [this](std::string_view w) { return text_.substr(at_, w.size()) == w; });
        if (found == words.end())
            return false;
        at_ += found->size();
        return true;
    }
    bool number()
    {
        const std::size_t from = at_;
        while (at_ < text_.size() &&
               std::string_view("-+.eE0123456789").find(text_[at_]) != std::string_view::npos)
            ++at_;
        return at_ > from;
    }

    std::string_view text_;
    std::size_t at_ = 0;
    int depth_ = 0;
};

// Several files one after the other, as the page's worker hands them over.
class Files : public text::ByteSource {
public:
    explicit Files(std::string_view bytes)
    {
        for (std::size_t from = 0;;) {
            const std::size_t end = bytes.find('\f', from);
            parts_.push_back(bytes.substr(from, end - from));
            if (end == std::string_view::npos)
                break;
            from = end + 1;
        }
    }
    std::size_t read(char* buffer, std::size_t size) override
    {
        std::string_view& part = parts_.at(current_);
        const std::size_t n = std::min(size, part.size());
        std::copy_n(part.data(), n, buffer);
        part.remove_prefix(n);
        return n;
    }
    bool next()
    {
        if (current_ + 1 >= parts_.size())
            return false;
        ++current_;
        return true;
    }
    [[nodiscard]] std::size_t count() const { return parts_.size(); }

private:
    std::vector<std::string_view> parts_;
    std::size_t current_ = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2)
        return 0;
    // The page's request: the file's name (any bytes), a fuel, a grouping, every result.
    const std::size_t name = std::min<std::size_t>(data[0] & 7U, size - 1);
    constexpr std::array<std::string_view, 3> fuels = {"", "gas", "fueloil"};
    constexpr std::array<std::string_view, 4> groupings = {"", "caldera", "mes", "ninguno"};
    log::Json request;
    request.open('{');
    request.member("nombre", std::string_view(reinterpret_cast<const char*>(data + 1), name));
    request.member("combustible", fuels.at((data[0] >> 3U) % 3));
    request.member("agrupar", groupings.at((data[0] >> 5U) & 3U));
    request.member("todos", (data[0] & 0x80U) != 0);
    const std::size_t skip = 1 + name;
    Files files(std::string_view(reinterpret_cast<const char*>(data + skip), size - skip));
    if (files.count() > 1) {
        request.key("nombres");
        request.open('[');
        for (std::size_t i = 0; i < files.count(); ++i)
            request.value("r" + std::to_string(i) + ".csv");
        request.close(']');
    }
    request.close('}');
    text::StringSink sink;
    const std::string json = web::run_log_json(
        request.take(), files, sink, [](std::uint64_t, std::uint64_t) {},
        [&files] { return files.next(); });
    FUZZ_REQUIRE(JsonCheck(json).whole());
    FUZZ_REQUIRE(json.starts_with("{\"estado\":"));
    // The status is 2 exactly when the files are refused (an error, first) or some are
    // left out (listed first).
    if (files.count() > 1) {
        const bool refused = json.starts_with(R"({"estado":2,"error":)");
        const bool left_out = json.starts_with(R"({"estado":2,"omitidos":[{)");
        FUZZ_REQUIRE(json.starts_with("{\"estado\":2") == (refused || left_out));
        FUZZ_REQUIRE(refused || json.find("\"omitidos\":[") != std::string::npos);
    }
    return 0;
}
