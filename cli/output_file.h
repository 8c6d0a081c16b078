// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The files a run writes besides standard output: a log's summary (--resumen), chart
// (--grafico), report (--informe) and each log's results (--salida). Each is resolved
// and checked before anything is read: through symlinks to the file they name, and
// refused when it is a folder, cannot be written, or is another output or an input.
// A regular file is written beside its place and renamed over it, so that a failure
// never leaves half a file, nor does Ctrl+C, kill, a closed terminal or a closed pipe;
// anything else (a device, a FIFO, standard output as "-") is written straight into,
// never replaced.

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

namespace quemador::cli {

// What a system error means for a file, in words, with the system's own reason.
std::string cause_words(int error);

// A file as the system knows it: by device and inode when it exists, and by its path
// with symlinks and dots resolved.
struct FileKey {
    dev_t device = 0;
    ino_t inode = 0;
    bool exists = false;
    bool stream = false; // a character device (a terminal, /dev/null): never clobbered
    std::string name;

    [[nodiscard]] bool same(const FileKey& other) const;
};

// The file a log is read from: "-" for standard input. None for a file that cannot be
// looked at (it is named with its reason when read).
std::optional<FileKey> input_key(const std::string& path);

struct OutputTarget {
    std::string given;   // as the user named it
    std::string option;  // "--resumen"
    std::string what;    // "el resumen"
    std::string log;     // the log whose results these are, with --salida
    std::string path;    // the file written, symlinks followed; empty for a descriptor
    int descriptor = -1; // an open descriptor written into: "-", /dev/stdout, /dev/fd/N
    bool direct = false; // not a regular file: written straight into
    FileKey key;

    // The output as messages name it: its option and the name given, or the log whose
    // results it holds.
    [[nodiscard]] std::string named() const;
};

// Raises a UsageError when the path cannot take the output (a folder, a folder that does
// not exist, a PDF on a terminal); option and what name it in messages.
OutputTarget output_target(const std::string& path, std::string_view option, std::string_view what,
                           bool binary = false);

// Raises a UsageError naming both when two outputs would write one file, or an output
// would write over an input; results_on_stdout when standard output takes a log's
// results.
void refuse_collisions(std::span<const OutputTarget* const> outputs,
                       std::span<const std::optional<FileKey>> inputs,
                       std::span<const std::string> input_names, bool results_on_stdout);

class OutputFile {
public:
    // Opens the file beside the target, or the target itself when it is not a regular
    // file; raises a UsageError saying why when it cannot.
    explicit OutputFile(OutputTarget target);
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    // Removes the file beside it, when the output was not committed.
    ~OutputFile();

    // Writes the text and puts the file in place; false, with error() saying why, when
    // not (the file beside it is removed at once).
    bool commit(std::string_view text);
    // Where what is written before commit() goes.
    [[nodiscard]] int descriptor() const { return fd_; }
    [[nodiscard]] const std::string& error() const { return error_; }
    [[nodiscard]] const OutputTarget& target() const { return target_; }

private:
    void discard();

    OutputTarget target_;
    std::string temporary_; // empty when written straight into
    int fd_ = -1;
    std::string error_;
};

} // namespace quemador::cli
