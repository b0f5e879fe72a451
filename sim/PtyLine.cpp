#include "PtyLine.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>
#include <vector>

#include "Clock.h"

namespace korlin::sim {

namespace {

constexpr int64_t kDropAfterUs = 1000000; // output nobody reads is lost after 1 s
constexpr int64_t kStopPollUs = 20000;
constexpr int64_t kAbsentPollUs = 5000;

std::string errnoText(const char* what)
{
    return std::string(what) + ": " + std::strerror(errno);
}

} // namespace

// Answer bytes with the line time at which each has fully gone out.
class PtyServer::Tx final : public LineTx {
public:
    void send(const uint8_t* data, size_t n, int64_t startUs, int64_t gapUs) override
    {
        int64_t t = std::max(startUs, freeUs_);
        for (size_t i = 0; i < n; ++i) {
            const int64_t end = t + kByteTimeUs;
            queue_.push_back({data[i], end});
            freeUs_ = end;
            t = end + gapUs;
        }
    }
    struct Byte {
        uint8_t value;
        int64_t dueUs;
    };
    std::deque<Byte> queue_;
    int64_t freeUs_ = 0;
};

PtyServer::PtyServer(ConverterModel& model) : model_(model), tx_(std::make_unique<Tx>()) {}

std::unique_ptr<PtyServer> PtyServer::open(ConverterModel& model, const PtyOptions& options, std::string& error)
{
    std::unique_ptr<PtyServer> s(new PtyServer(model));
    s->master_ = posix_openpt(O_RDWR | O_NOCTTY);
    if (s->master_ < 0) {
        error = errnoText("posix_openpt");
        return nullptr;
    }
    if (grantpt(s->master_) != 0 || unlockpt(s->master_) != 0) {
        error = errnoText("grantpt/unlockpt");
        return nullptr;
    }
    char name[128];
    if (ptsname_r(s->master_, name, sizeof name) != 0) {
        error = errnoText("ptsname");
        return nullptr;
    }
    s->slavePath_ = name;
    fcntl(s->master_, F_SETFL, fcntl(s->master_, F_GETFL) | O_NONBLOCK);
    fcntl(s->master_, F_SETFD, FD_CLOEXEC);

    if (!s->applyBaseline()) {
        error = errnoText("open slave");
        return nullptr;
    }

    if (!options.tracePath.empty()) {
        s->trace_ = std::fopen(options.tracePath.c_str(), "w");
        if (!s->trace_) {
            error = errnoText(("open trace file " + options.tracePath).c_str());
            return nullptr;
        }
    }
    if (!options.linkPath.empty()) {
        struct stat st {};
        if (lstat(options.linkPath.c_str(), &st) == 0) {
            if (!S_ISLNK(st.st_mode)) {
                error = options.linkPath + " exists and is not a symbolic link";
                return nullptr;
            }
            unlink(options.linkPath.c_str());
        }
        if (symlink(name, options.linkPath.c_str()) != 0) {
            error = errnoText(("symlink " + options.linkPath).c_str());
            return nullptr;
        }
        s->linkPath_ = options.linkPath;
    }
    s->originUs_ = SystemClock().nowUs();
    return s;
}

PtyServer::~PtyServer()
{
    if (!linkPath_.empty()) {
        // Only our own link goes; someone may have replaced it meanwhile.
        char target[256];
        const ssize_t n = readlink(linkPath_.c_str(), target, sizeof target - 1);
        if (n > 0 && std::string(target, size_t(n)) == slavePath_)
            unlink(linkPath_.c_str());
    }
    if (trace_)
        std::fclose(trace_);
    if (master_ >= 0)
        close(master_);
}

// The settings a client finds: raw, 8 data bits, 2 stop bits, receiver on,
// modem lines ignored.  The speed is left at the pty's 38400: Linux ptys
// drop PARENB, and glibc reports a tcsetattr() that changes nothing else as
// EINVAL, so a slave waiting at exactly 9600 8E2 would make a client's own
// 9600 8E2 set-up fail.  Every serial client sets its speed, so its call
// changes the speed and succeeds.
bool PtyServer::applyBaseline()
{
    const int fd = ::open(slavePath_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    termios tio{};
    if (tcgetattr(fd, &tio) == 0) {
        cfmakeraw(&tio);
        tio.c_iflag &= ~(IXON | IXOFF | IXANY);
        tio.c_cflag &= ~(CSIZE | PARODD | CRTSCTS | HUPCL);
        tio.c_cflag |= CS8 | PARENB | CSTOPB | CREAD | CLOCAL;
        tio.c_cc[VMIN] = 1;
        tio.c_cc[VTIME] = 0;
        cfsetispeed(&tio, B38400);
        cfsetospeed(&tio, B38400);
        tcsetattr(fd, TCSANOW, &tio);
        tcflush(fd, TCIOFLUSH);
    }
    close(fd);
    return true;
}

int64_t PtyServer::lineTimeUs() const
{
    return SystemClock().nowUs() - originUs_;
}

void PtyServer::trace(const char* dir, const uint8_t* data, size_t n)
{
    if (!trace_ || n == 0)
        return;
    std::fprintf(trace_, "%12.6f %s", double(lineTimeUs()) / 1e6, dir);
    for (size_t i = 0; i < n; ++i)
        std::fprintf(trace_, " %02x", data[i]);
    std::fputc('\n', trace_);
    std::fflush(trace_);
}

// Writes every byte whose time has come; false when the client side is full.
bool PtyServer::flushDue(int64_t now)
{
    auto& q = tx_->queue_;
    std::vector<uint8_t> due;
    for (const auto& b : q) {
        if (b.dueUs > now)
            break;
        due.push_back(b.value);
    }
    if (due.empty())
        return true;
    const ssize_t w = write(master_, due.data(), due.size());
    if (w > 0) {
        trace("TX", due.data(), size_t(w));
        q.erase(q.begin(), q.begin() + w);
    }
    if (w == ssize_t(due.size()))
        return true;
    if (!q.empty() && now - q.front().dueUs > kDropAfterUs) {
        // Nobody takes the bytes: on a line they would simply be gone.
        if (trace_) {
            std::fprintf(trace_, "%12.6f DROP %zu bytes\n", double(now) / 1e6, q.size());
            std::fflush(trace_);
        }
        q.clear();
        tx_->freeUs_ = now;
        return true;
    }
    return false;
}

void PtyServer::dropDue(int64_t now)
{
    auto& q = tx_->queue_;
    size_t n = 0;
    while (!q.empty() && q.front().dueUs <= now) {
        q.pop_front();
        ++n;
    }
    if (n > 0 && trace_) {
        std::fprintf(trace_, "%12.6f DROP %zu bytes (no client)\n", double(now) / 1e6, n);
        std::fflush(trace_);
    }
}

void PtyServer::run(const std::function<bool()>& stop, const sigset_t* waitMask)
{
    uint8_t buf[4096];
    while (!stop()) {
        int64_t now = lineTimeUs();
        // Without a client the bytes would wait in the slave's queue for
        // the next one: on a line they are simply gone.
        const bool writable = present_ ? flushDue(now) : (dropDue(now), true);
        if (const auto w = model_.wakeAt(); w && *w <= now) {
            model_.wake(*w, *tx_);
            continue;
        }

        int64_t next = INT64_MAX;
        if (!tx_->queue_.empty())
            next = writable ? tx_->queue_.front().dueUs : now + 1000;
        if (const auto w = model_.wakeAt())
            next = std::min(next, *w);
        int64_t waitUs = next == INT64_MAX ? -1 : std::max<int64_t>(0, next - now);
        // A hung-up master polls ready at once: look again every few ms.
        const int64_t cap = present_ ? (waitMask ? -1 : kStopPollUs) : kAbsentPollUs;
        if (cap >= 0 && (waitUs < 0 || waitUs > cap))
            waitUs = cap;

        pollfd p{master_, short(present_ ? POLLIN : 0), 0};
        timespec ts{};
        if (waitUs >= 0) {
            ts.tv_sec = waitUs / 1000000;
            ts.tv_nsec = long(waitUs % 1000000) * 1000;
        }
        const int r = ppoll(present_ ? &p : nullptr, present_ ? 1 : 0, waitUs >= 0 ? &ts : nullptr, waitMask);
        if (r < 0 && errno != EINTR)
            break;
        if (r < 0)
            continue;
        if (!present_) {
            p.events = POLLIN;
            p.revents = 0;
            if (poll(&p, 1, 0) < 0)
                continue;
        }
        if (p.revents & POLLIN) {
            const ssize_t n = read(master_, buf, sizeof buf);
            if (n > 0) {
                now = lineTimeUs();
                trace("RX", buf, size_t(n));
                for (ssize_t i = 0; i < n; ++i) {
                    // Over a real line bytes cannot come faster than 1250 us apart.
                    lastArrivalUs_ = std::max(now, lastArrivalUs_ + kByteTimeUs);
                    model_.receive(buf[i], lastArrivalUs_, *tx_);
                }
                continue; // what the client left behind is read before it counts as gone
            }
        }
        const bool hungUp = (p.revents & POLLHUP) != 0;
        if (present_ && hungUp) {
            present_ = false;
            traceNote("client closed");
            applyBaseline(); // the next client finds the line as the first did
        } else if (!present_ && !hungUp) {
            present_ = true;
            traceNote("client opened");
        }
    }
}

void PtyServer::traceNote(const char* what)
{
    if (!trace_)
        return;
    std::fprintf(trace_, "%12.6f -- %s\n", double(lineTimeUs()) / 1e6, what);
    std::fflush(trace_);
}

} // namespace korlin::sim
