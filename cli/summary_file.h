// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The file a log's summary (--resumen) or chart (--grafico) goes to. It is checked
// before the log is read:
// it may be neither the log itself nor the file standard output goes to, and it must
// be writable. The summary is written to a file beside it and renamed over it, so that
// a failure never leaves half a file, nor does Ctrl+C, kill or a closed terminal.

#include <cstdio>
#include <span>
#include <string>
#include <string_view>

namespace quemador::cli {

class SummaryFile {
public:
    // Raises a UsageError when the path cannot take the summary of the log read from
    // log (an open file, or standard input); option and what name the file in messages.
    SummaryFile(const std::string& path, std::span<std::FILE* const> logs,
                std::string_view option = "--resumen", std::string_view what = "el resumen");
    SummaryFile(const SummaryFile&) = delete;
    SummaryFile& operator=(const SummaryFile&) = delete;
    // Removes the file beside it, when the summary was not committed.
    ~SummaryFile();

    // Writes the text and puts it in place; false, with error() saying why, when not.
    bool commit(std::string_view text);
    // The file beside its place, for what is written through it before commit().
    [[nodiscard]] int descriptor() const { return fd_; }
    [[nodiscard]] const std::string& error() const { return error_; }
    // Whether the file is in place.
    [[nodiscard]] bool committed() const { return fd_ < 0 && error_.empty(); }

private:
    std::string path_;
    std::string temporary_;
    int fd_ = -1;
    std::string error_;
};

} // namespace quemador::cli
