#include "ProgramFile.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace korlin {

namespace fs = std::filesystem;

std::vector<uint8_t> programFileBytes(const ProgramState& state)
{
    const std::size_t n = std::min<std::size_t>(state.total_len, kProgArraySize);
    return {state.new_array.begin(), state.new_array.begin() + n};
}

std::vector<uint8_t> scannerFileBytes(const ProgramState& state)
{
    const std::size_t n = std::min<std::size_t>(state.total_len, kProgArraySize);
    std::vector<uint8_t> out;
    out.reserve(n + 4);
    out.push_back(state.new_array[0]);
    out.push_back(state.new_array[1]);
    out.insert(out.end(), state.new_array.begin(), state.new_array.begin() + n);
    // The array's closing 0 byte; the assembly always leaves room for it.
    out.push_back(n < kProgArraySize ? state.new_array[n] : 0);
    out.push_back(0);
    return out;
}

FileReadResult loadProgramBytes(ProgramState& state, std::span<const uint8_t> bytes)
{
    FileReadResult r;
    if (bytes.size() > kProgArraySize) {
        r.status = FileReadStatus::TooLong;
        r.text = kFileTooLongText;
        r.caption = kFileCaption;
        return r;
    }
    std::copy(bytes.begin(), bytes.end(), state.prog_array.begin());
    state.total_len = uint16_t(bytes.size());
    r.bytes = bytes.size();
    return r;
}

FileReadResult readProgramFile(ProgramState& state, const fs::path& path)
{
    FileReadResult r;
    auto fail = [&](int err) {
        r.status = FileReadStatus::OpenFailed;
        r.text = kOpenErrorText;
        r.caption = kFileCaption;
        r.detail = std::strerror(err);
        return r;
    };
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return fail(errno);
    // One byte more than fits tells a file that is too long, whatever kind of
    // file it is.
    std::vector<uint8_t> buf(kProgArraySize + 1);
    std::size_t got = 0;
    while (got < buf.size()) {
        const ssize_t n = ::read(fd, buf.data() + got, buf.size() - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            const int err = errno;
            ::close(fd);
            return fail(err);
        }
        if (n == 0)
            break;
        got += std::size_t(n);
    }
    ::close(fd);
    return loadProgramBytes(state, std::span<const uint8_t>(buf.data(), got));
}

bool takeScannerFile(ProgramState& state)
{
    auto& p = state.prog_array;
    if (p[0] != p[2] || p[1] != p[3])
        return false;
    std::memmove(p.data(), p.data() + 2, p.size() - 2);
    state.total_len = state.total_len >= 2 ? uint16_t(state.total_len - 2) : 0;
    return true;
}

OpenResult openProgramArray(ProgramState& state, const std::optional<fs::path>& chosen,
                            std::size_t heldValidBytes)
{
    OpenResult r;
    std::size_t valid = heldValidBytes;
    if (chosen) {
        r.read = readProgramFile(state, *chosen);
        if (r.read.ok()) {
            r.fileRead = true;
            valid = r.read.bytes;
        }
        r.panel1 = chosen->string();
    }
    r.panel0 = kPanelFileText;
    if (takeScannerFile(state)) {
        r.scannerFile = true;
        r.panel0 = kPanelScannerFileText;
        valid = valid >= 2 ? valid - 2 : 0;
    }
    r.split = prog_array_destrukt(state, valid);
    return r;
}

// ---- saving -----------------------------------------------------------------

long SaveFileOps::write(int fd, const uint8_t* data, std::size_t n)
{
    return long(::write(fd, data, n));
}

int SaveFileOps::fsync(int fd) { return ::fsync(fd); }

int SaveFileOps::rename(const char* from, const char* to) { return ::rename(from, to); }

namespace {

// Opens a fresh file beside target; its name starts with a dot so that file
// dialogs do not offer it should a crash leave it behind.
int openTemporary(const fs::path& target, fs::path& tmp)
{
    static std::atomic<unsigned> counter{0};
    const fs::path dir = target.has_parent_path() ? target.parent_path() : fs::path(".");
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name(1, '.');
        name += target.filename().string();
        name += ".tmp-" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
        tmp = dir / name;
        const int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    errno = EEXIST;
    return -1;
}

} // namespace

SaveResult saveFileSafely(const fs::path& path, std::span<const uint8_t> bytes,
                          std::string_view failureText, SaveFileOps* ops)
{
    SaveFileOps plain;
    if (!ops)
        ops = &plain;

    SaveResult r;
    auto fail = [&](int err) {
        r.ok = false;
        r.text = failureText;
        r.caption = kFileCaption;
        r.detail = std::strerror(err);
        return r;
    };

    fs::path target = path;
    std::error_code ec;
    if (fs::is_symlink(path, ec)) {
        const fs::path resolved = fs::canonical(path, ec);
        if (!ec)
            target = resolved;
    }

    fs::path tmp;
    const int fd = openTemporary(target, tmp);
    if (fd < 0)
        return fail(errno);
    auto abandon = [&](int err) {
        ::close(fd);
        ::unlink(tmp.c_str());
        return fail(err);
    };

    // Keep the permissions of the file being replaced.
    struct stat st {};
    if (::stat(target.c_str(), &st) == 0 && S_ISREG(st.st_mode))
        ::fchmod(fd, st.st_mode & 07777);

    std::size_t done = 0;
    while (done < bytes.size()) {
        const long n = ops->write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return abandon(n < 0 ? errno : EIO);
        done += std::size_t(n);
    }
    if (ops->fsync(fd) != 0)
        return abandon(errno);
    if (::close(fd) != 0) {
        const int err = errno;
        ::unlink(tmp.c_str());
        return fail(err);
    }
    if (ops->rename(tmp.c_str(), target.c_str()) != 0) {
        const int err = errno;
        ::unlink(tmp.c_str());
        return fail(err);
    }
    // Make the rename itself durable; a directory that cannot be synced
    // still holds the complete new file.
    const fs::path dir = target.has_parent_path() ? target.parent_path() : fs::path(".");
    const int dfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
        ::fsync(dfd);
        ::close(dfd);
    }
    r.ok = true;
    return r;
}

SaveResult saveProgramFile(const ProgramState& state, const fs::path& path, SaveFileOps* ops)
{
    return saveFileSafely(path, programFileBytes(state), kWriteErrorText, ops);
}

SaveResult saveScannerFile(const ProgramState& state, const fs::path& path, SaveFileOps* ops)
{
    return saveFileSafely(path, scannerFileBytes(state), kOpenErrorText, ops);
}

} // namespace korlin
