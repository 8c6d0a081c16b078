// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/summary_file.h"

#include "cli/usage_error.h"

#include <array>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace quemador::cli {
namespace {

bool same_file(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// The files beside their place not yet put there, taken away when a signal a user sends
// (Ctrl+C, kill, a closed terminal) ends the program.
std::array<std::atomic<const char*>, 16> unfinished{};

extern "C" void remove_unfinished(int signal)
{
    for (const auto& path : unfinished) {
        if (const char* name = path.load(); name != nullptr)
            unlink(name);
    }
    // Then ended by the signal, as without this handler.
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

void watch_signals()
{
    static const bool watching = [] {
        for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
            struct sigaction action {};
            // A signal ignored (under nohup) stays ignored.
            if (sigaction(signal, nullptr, &action) == 0 && action.sa_handler == SIG_IGN)
                continue;
            action = {};
            action.sa_handler = remove_unfinished;
            sigemptyset(&action.sa_mask);
            sigaction(signal, &action, nullptr);
        }
        return true;
    }();
    (void)watching;
}

void remember(const char* name)
{
    watch_signals();
    for (auto& path : unfinished) {
        const char* empty = nullptr;
        if (path.compare_exchange_strong(empty, name))
            return;
    }
}

void forget(const char* name)
{
    for (auto& path : unfinished) {
        const char* mine = name;
        path.compare_exchange_strong(mine, nullptr);
    }
}

} // namespace

SummaryFile::SummaryFile(const std::string& path, std::span<std::FILE* const> logs,
                         std::string_view option, std::string_view what)
    : path_(path)
{
    const std::string named = std::string(option) + " «" + path + "»";
    struct stat target {};
    if (stat(path.c_str(), &target) == 0) {
        struct stat other {};
        if (S_ISDIR(target.st_mode))
            throw UsageError(named + " es una carpeta");
        for (std::FILE* log : logs) {
            if (fstat(fileno(log), &other) == 0 && same_file(target, other))
                throw UsageError(named + " es el propio registro: " + std::string(what) +
                                 " lo borraría");
        }
        if (fstat(STDOUT_FILENO, &other) == 0 && same_file(target, other))
            throw UsageError(named + " es el archivo al que va la salida: elija otro");
    }
    temporary_ = path + ".XXXXXX";
    std::vector<char> name(temporary_.begin(), temporary_.end());
    name.push_back('\0');
    fd_ = mkstemp(name.data());
    if (fd_ < 0)
        throw UsageError("no se puede escribir " + std::string(what) + " en «" + path +
                         "»: " + std::strerror(errno));
    temporary_.assign(name.data());
    remember(temporary_.c_str());
    // As any new file: what the user's umask leaves of read and write for all.
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd_, static_cast<mode_t>(0666 & ~mask));
}

SummaryFile::~SummaryFile()
{
    if (fd_ >= 0) {
        close(fd_);
        unlink(temporary_.c_str());
    }
    forget(temporary_.c_str());
}

bool SummaryFile::commit(std::string_view text)
{
    std::size_t written = 0;
    while (written < text.size()) {
        const ssize_t n = ::write(fd_, text.data() + written, text.size() - written);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            error_ = std::strerror(n < 0 ? errno : ENOSPC);
            return false;
        }
        written += static_cast<std::size_t>(n);
    }
    const int closed = close(fd_);
    fd_ = -1;
    if (closed != 0 || std::rename(temporary_.c_str(), path_.c_str()) != 0) {
        error_ = std::strerror(errno);
        unlink(temporary_.c_str());
        return false;
    }
    return true;
}

} // namespace quemador::cli
