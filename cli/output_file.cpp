// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/output_file.h"

#include "cli/usage_error.h"

#include <array>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace quemador::cli {
namespace {

namespace fs = std::filesystem;

// The files beside their place not yet put there, taken away when a signal ends the
// program: Ctrl+C, kill, a closed terminal, or a reader of standard output gone. A run
// has at most a few at once: one log's results and the output being committed.
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
        for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) {
            struct sigaction action {};
            // A signal ignored (under nohup, or a closed pipe a caller ignores) stays so.
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

bool remember(const char* name)
{
    watch_signals();
    for (auto& path : unfinished) {
        const char* empty = nullptr;
        if (path.compare_exchange_strong(empty, name))
            return true;
    }
    return false;
}

void forget(const char* name)
{
    for (auto& path : unfinished) {
        const char* mine = name;
        path.compare_exchange_strong(mine, nullptr);
    }
}

// The descriptor a path names: "-" and /dev/stdout standard output, /dev/stderr standard
// error, /dev/fd/N and /proc/self/fd/N the descriptor N; -1 for any other path.
int named_descriptor(std::string_view path)
{
    if (path == "-" || path == "/dev/stdout")
        return STDOUT_FILENO;
    if (path == "/dev/stderr")
        return STDERR_FILENO;
    for (const std::string_view prefix : {"/dev/fd/", "/proc/self/fd/"}) {
        if (!path.starts_with(prefix))
            continue;
        path.remove_prefix(prefix.size());
        int fd = -1;
        const auto [end, error] = std::from_chars(path.data(), path.data() + path.size(), fd);
        if (error == std::errc() && end == path.data() + path.size() && !path.empty())
            return fd;
    }
    return -1;
}

FileKey key_of(const struct stat& info, std::string name)
{
    return {info.st_dev, info.st_ino, true, S_ISCHR(info.st_mode), std::move(name)};
}

// The key of a path that may not exist yet: its folder resolved, then its name.
FileKey path_key(const std::string& path)
{
    std::error_code error;
    const fs::path absolute = fs::weakly_canonical(fs::absolute(path, error), error);
    struct stat info {};
    if (stat(path.c_str(), &info) == 0)
        return key_of(info, absolute.string());
    FileKey key;
    key.name = absolute.string();
    return key;
}

FileKey descriptor_key(int fd)
{
    struct stat info {};
    if (fstat(fd, &info) != 0)
        return {};
    return key_of(info, "descriptor " + std::to_string(fd));
}

// The path a symlink names, followed link by link; the path itself when it is not one.
// Stops at a descriptor's name (/proc/self/fd/1), which the caller writes straight into.
std::string followed(const std::string& given, const std::string& named_as)
{
    std::string path = given;
    for (int links = 0; links < 40; ++links) {
        struct stat info {};
        if (named_descriptor(path) >= 0 || lstat(path.c_str(), &info) != 0 ||
            !S_ISLNK(info.st_mode))
            return path;
        std::string target(static_cast<std::size_t>(info.st_size > 0 ? info.st_size : 4096), '\0');
        const ssize_t length = readlink(path.c_str(), target.data(), target.size());
        if (length < 0)
            return path;
        target.resize(static_cast<std::size_t>(length));
        const fs::path link(target);
        path = link.is_absolute() ? target : (fs::path(path).parent_path() / link).string();
    }
    throw UsageError(named_as + " es un enlace que no lleva a ningún archivo (un ciclo)");
}

} // namespace

std::string cause_words(int error)
{
    std::string words;
    switch (error) {
    case ENOENT:
        words = "no existe";
        break;
    case EACCES:
    case EPERM:
    case EROFS:
        words = "no hay permiso";
        break;
    case EMFILE:
    case ENFILE:
        words = "hay demasiados archivos abiertos";
        break;
    case ENOSPC:
    case EDQUOT:
        words = "no queda espacio en el disco";
        break;
    case EFBIG:
        words = "el archivo pasa del tamaño permitido";
        break;
    case EISDIR:
        words = "es una carpeta";
        break;
    default:
        words = "el sistema no lo permite";
        break;
    }
    return words + " (" + std::strerror(error) + ")";
}

bool FileKey::same(const FileKey& other) const
{
    if (stream || other.stream)
        return false;
    if (exists && other.exists)
        return device == other.device && inode == other.inode;
    return !name.empty() && name == other.name;
}

std::optional<FileKey> input_key(const std::string& path)
{
    if (path == "-")
        return descriptor_key(STDIN_FILENO);
    struct stat info {};
    if (stat(path.c_str(), &info) != 0)
        return std::nullopt;
    return path_key(path);
}

std::string OutputTarget::named() const
{
    return log.empty() ? option + " «" + given + "»"
                       : "los resultados de «" + log + "» («" + given + "»)";
}

OutputTarget output_target(const std::string& path, std::string_view option, std::string_view what,
                           bool binary)
{
    OutputTarget target;
    target.given = path;
    target.option = option;
    target.what = what;
    const std::string named = target.named();
    target.path = followed(path, named);
    target.descriptor = named_descriptor(target.path);
    if (target.descriptor >= 0) {
        target.path.clear();
        target.direct = true;
        target.key = descriptor_key(target.descriptor);
        if (binary && isatty(target.descriptor) == 1)
            throw UsageError(named + ": " + target.what +
                             " es un PDF y no se escribe en la terminal: redirija la salida a "
                             "un archivo");
        return target;
    }
    struct stat info {};
    if (stat(target.path.c_str(), &info) == 0) {
        if (S_ISDIR(info.st_mode))
            throw UsageError(named + " es una carpeta");
        target.direct = !S_ISREG(info.st_mode);
    } else {
        const fs::path folder = fs::path(target.path).parent_path();
        const std::string shown = folder.empty() ? "." : folder.string();
        std::error_code error;
        if (!fs::is_directory(folder.empty() ? fs::path(".") : folder, error))
            throw UsageError("no se puede escribir " + target.what + " en «" + path +
                             "»: la carpeta «" + shown + "» no existe");
    }
    target.key = path_key(target.path);
    return target;
}

void refuse_collisions(std::span<const OutputTarget* const> outputs,
                       std::span<const std::optional<FileKey>> inputs,
                       std::span<const std::string> input_names, bool results_on_stdout)
{
    const FileKey out = descriptor_key(STDOUT_FILENO);
    for (std::size_t i = 0; i < outputs.size(); ++i) {
        const OutputTarget& output = *outputs[i];
        for (std::size_t j = 0; j < inputs.size(); ++j) {
            if (inputs[j] && output.key.same(*inputs[j]))
                throw UsageError(output.named() +
                                 (inputs.size() == 1 ? std::string(" es el propio registro")
                                                     : " es el registro «" + input_names[j] + "»") +
                                 ": " + output.what + " lo borraría");
        }
        if (results_on_stdout && (output.descriptor == STDOUT_FILENO || output.key.same(out)))
            throw UsageError(output.named() +
                             " es la salida estándar, donde van los resultados: elija otro "
                             "archivo o use --salida");
        for (std::size_t j = 0; j < i; ++j) {
            const OutputTarget& other = *outputs[j];
            const bool both_stdout =
                output.descriptor == STDOUT_FILENO && other.descriptor == STDOUT_FILENO;
            if (both_stdout || output.key.same(other.key))
                throw UsageError(other.named() + " y " + output.named() +
                                 " escribirían el mismo archivo: uno borraría al otro");
        }
    }
}

OutputFile::OutputFile(OutputTarget target) : target_(std::move(target))
{
    const auto refuse = [this](int error) {
        throw UsageError("no se puede escribir " + target_.what + " en «" + target_.given +
                         "»: " + cause_words(error));
    };
    if (target_.descriptor >= 0) {
        fd_ = fcntl(target_.descriptor, F_DUPFD_CLOEXEC, 3);
        if (fd_ < 0)
            refuse(errno);
        return;
    }
    if (target_.direct) {
        fd_ = open(target_.path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
        if (fd_ < 0)
            refuse(errno);
        return;
    }
    // Hidden beside the target, in the same folder so that the rename is atomic.
    const fs::path place(target_.path);
    std::string hidden = place.filename().string();
    hidden.insert(hidden.begin(), '.'); // not "." + name: GCC 12 warns of a false overlap
    hidden.append(".XXXXXX");
    temporary_ = (place.parent_path() / hidden).string();
    fd_ = mkostemp(temporary_.data(), O_CLOEXEC);
    if (fd_ < 0)
        refuse(errno);
    if (!remember(temporary_.c_str())) {
        discard();
        throw UsageError("demasiadas salidas a la vez");
    }
    // As any new file: what the user's umask leaves of read and write for all.
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd_, static_cast<mode_t>(0666 & ~mask));
}

OutputFile::~OutputFile() { discard(); }

void OutputFile::discard()
{
    if (fd_ >= 0)
        close(fd_);
    fd_ = -1;
    if (!temporary_.empty()) {
        unlink(temporary_.c_str());
        forget(temporary_.c_str());
        temporary_.clear();
    }
}

bool OutputFile::commit(std::string_view text)
{
    std::size_t written = 0;
    while (written < text.size()) {
        const ssize_t n = ::write(fd_, text.data() + written, text.size() - written);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            error_ = cause_words(n < 0 ? errno : ENOSPC);
            discard();
            return false;
        }
        written += static_cast<std::size_t>(n);
    }
    const int closed = close(fd_);
    fd_ = -1;
    if (closed != 0) {
        error_ = cause_words(errno);
        discard();
        return false;
    }
    if (temporary_.empty())
        return true;
    if (std::rename(temporary_.c_str(), target_.path.c_str()) != 0) {
        error_ = cause_words(errno);
        discard();
        return false;
    }
    forget(temporary_.c_str());
    temporary_.clear();
    return true;
}

} // namespace quemador::cli
