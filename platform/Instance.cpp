#include "Instance.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace korlin {

std::filesystem::path FileInstanceLock::defaultDirectory()
{
    if (const char* d = std::getenv("XDG_RUNTIME_DIR"); d && *d)
        return d;
    return "/tmp";
}

LockResult FileInstanceLock::acquire(const std::string& name)
{
    const std::filesystem::path path = dir_ / name;
    struct stat st{};
    if (::lstat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode))
        return LockResult::InvalidName;
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        return LockResult::InvalidName;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return errno == EWOULDBLOCK ? LockResult::AlreadyRunning : LockResult::InvalidName;
    }
    fd_ = fd; // kept open: the lock lasts as long as the process
    return LockResult::Acquired;
}

const std::vector<std::string>& ProcessAgent::processNames()
{
    static const std::vector<std::string> names{"Tavrel.exe", "Tavrel"};
    return names;
}

bool ProcessAgent::isRunning()
{
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(procDir_, ec)) {
        const std::string pid = entry.path().filename().string();
        if (pid.empty() || pid.find_first_not_of("0123456789") != std::string::npos)
            continue;
        std::ifstream comm(entry.path() / "comm");
        std::string name;
        if (!std::getline(comm, name))
            continue;
        for (const auto& n : processNames())
            if (name == n)
                return true;
    }
    return false;
}

bool ProcessAgent::startInPlace()
{
    for (const auto& n : processNames()) {
        char* argv[] = {const_cast<char*>(n.c_str()), nullptr};
        ::execvp(n.c_str(), argv); // returns only on failure
    }
    return false;
}

} // namespace korlin
