// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/summary_file.h"

#include "cli/usage_error.h"

#include <cerrno>
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

} // namespace

SummaryFile::SummaryFile(const std::string& path, std::FILE* log, std::string_view option,
                         std::string_view what)
    : path_(path)
{
    const std::string named = std::string(option) + " «" + path + "»";
    struct stat target {};
    if (stat(path.c_str(), &target) == 0) {
        struct stat other {};
        if (S_ISDIR(target.st_mode))
            throw UsageError(named + " es una carpeta");
        if (fstat(fileno(log), &other) == 0 && same_file(target, other))
            throw UsageError(named + " es el propio registro: " + std::string(what) +
                             " lo borraría");
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
