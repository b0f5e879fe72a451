#include "DebugLog.h"

#include "Cp1251.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace korlin {

std::string DebugLog::compose(std::string_view format, std::string_view arg)
{
    std::string out(format);
    const size_t at = out.find("%s");
    if (at != std::string::npos)
        out.replace(at, 2, arg);
    return out;
}

void FileDebugLog::LogMessage(std::string_view format, std::string_view arg)
{
    std::string bytes;
    for (char c : toCp1251(compose(format, arg))) {
        if (c == '\n')
            bytes += '\r';
        bytes += c;
    }
    const int fd = ::open(path_.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return;
    // Others may read the file, but not write into it while a message goes in.
    ::flock(fd, LOCK_EX);
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n <= 0)
            break;
        done += size_t(n);
    }
    ::close(fd);
}

} // namespace korlin
