// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzzes the page's log view through its JSON: any bytes as the log, with a request of
// the options the page's boxes give taken from the first bytes.
// Properties: the answer is one JSON object, well-formed, with a status; a log read
// lists at most the notices the page shows, each an excerpt.

#include "fuzz_checks.h"
#include "log/json.h"
#include "web/log_page.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

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
    request.close('}');
    const std::size_t skip = 1 + name;
    text::StringSource source(
        std::string_view(reinterpret_cast<const char*>(data + skip), size - skip));
    text::StringSink sink;
    const std::string json =
        web::run_log_json(request.take(), source, sink, [](std::uint64_t, std::uint64_t) {});
    FUZZ_REQUIRE(JsonCheck(json).whole());
    FUZZ_REQUIRE(json.starts_with("{\"estado\":"));
    return 0;
}
