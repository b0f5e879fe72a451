#include "TermiosPort.h"

#include "ReadTimer.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace korlin {

int64_t TermiosPort::steadyNowUs()
{
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

namespace {

using SteadyPoint = std::chrono::steady_clock::time_point;
SteadyPoint pointOf(int64_t us) { return SteadyPoint(std::chrono::microseconds(us)); }

std::string openFailure(const std::string& label, int err)
{
    switch (err) {
    case ENOENT:
        return "Порт " + label + " не найден.";
    case ENODEV:
    case ENXIO:
    case EIO:
        return "Порт " + label + " не найден: устройство не отвечает.";
    case EACCES:
    case EPERM:
        return "Нет доступа к порту " + label + ": пользователь не входит в группу dialout.";
    case EBUSY:
    case EWOULDBLOCK:
        return "Порт " + label + " занят другой программой.";
    case ENOTTY:
        return label + " не является последовательным портом.";
    default:
        return "Порт " + label + " не открыт: " + std::strerror(err) + ".";
    }
}

speed_t speedOf(uint32_t baud)
{
    switch (baud) {
    case 1200: return B1200;
    case 2400: return B2400;
    case 4800: return B4800;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    default: return B9600;
    }
}

// Raw 8-bit line as the settings ask; failures are not detected (as SetCommState's).
void applySettings(int fd, const LineSettings& s)
{
    termios tio{};
    if (tcgetattr(fd, &tio) != 0)
        return;
    cfmakeraw(&tio);
    tio.c_iflag &= ~(IXON | IXOFF | IXANY | INPCK | PARMRK | IGNPAR | ISTRIP);
    // Parity is generated and checked by the UART; a byte with a parity error
    // is handed over as received (no error character), as the Windows port
    // does without fErrorChar.  INPCK would turn it into 0.
    tio.c_cflag &= ~(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS | HUPCL);
    tio.c_cflag |= CREAD | CLOCAL;
    switch (s.dataBits) {
    case 5: tio.c_cflag |= CS5; break;
    case 6: tio.c_cflag |= CS6; break;
    case 7: tio.c_cflag |= CS7; break;
    default: tio.c_cflag |= CS8; break;
    }
    if (s.parity != LineSettings::Parity::None)
        tio.c_cflag |= PARENB;
    if (s.parity == LineSettings::Parity::Odd)
        tio.c_cflag |= PARODD;
    if (s.stopBits >= 2)
        tio.c_cflag |= CSTOPB;
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    cfsetispeed(&tio, speedOf(s.baudRate));
    cfsetospeed(&tio, speedOf(s.baudRate));
    tcsetattr(fd, TCSANOW, &tio);
    int on = 0, off = 0;
    (s.dtrOn ? on : off) |= TIOCM_DTR;
    (s.rtsOn ? on : off) |= TIOCM_RTS;
    if (on)
        ioctl(fd, TIOCMBIS, &on);
    if (off)
        ioctl(fd, TIOCMBIC, &off);
}

bool askLowLatency(int fd)
{
    serial_struct ss{};
    if (ioctl(fd, TIOCGSERIAL, &ss) != 0)
        return false;
    if (ss.flags & ASYNC_LOW_LATENCY)
        return true;
    ss.flags |= ASYNC_LOW_LATENCY;
    return ioctl(fd, TIOCSSERIAL, &ss) == 0;
}

} // namespace

struct TermiosPort::Impl {
    struct Stamped {
        uint8_t value;
        int64_t atUs;
    };
    struct ReadOp {
        uint8_t* buf;
        ReadTimer timer;
        std::vector<uint8_t> data; // what it took, copied to buf on the caller's thread
        size_t copied = 0;
    };
    struct WriteOp {
        uint64_t first = 0, last = 0; // positions in the output stream
        int64_t startUs = 0;
        std::optional<int64_t> deadline;
        bool done = false;
        size_t count = 0;
    };
    enum class Last { None, Write, Read };

    std::string path, label, error;
    int fd = -1;
    int wakeFd = -1;
    bool lowLatency = false;
    std::thread io;
    bool stop = false;

    mutable std::mutex m;
    std::condition_variable cv;
    CommTimeouts timeouts{};
    size_t rxCap = 16384;
    std::deque<Stamped> queue;
    uint64_t arrivals = 0, taken = 0, overruns = 0;
    uint32_t mask = 0;
    uint64_t eventMark = 0;
    std::optional<ReadOp> read;
    std::deque<uint8_t> out;      // bytes not yet handed to the driver
    uint64_t handed = 0;          // bytes handed to the driver so far
    uint64_t queuedOut = 0;       // bytes ever given to startWrite
    std::optional<WriteOp> write;
    Last last = Last::None;

    // ---- under m ----
    void ingest(const uint8_t* b, size_t n, int64_t at)
    {
        for (size_t i = 0; i < n; ++i) {
            ++arrivals;
            if (read && read->timer.offer(at)) {
                read->data.push_back(b[i]);
                ++taken;
            } else if (queue.size() < rxCap) {
                queue.push_back({b[i], at});
            } else {
                ++overruns;
            }
        }
    }
    // Takes what the driver holds now (the reader thread normally has).
    bool pull()
    {
        if (fd < 0)
            return false;
        uint8_t buf[4096];
        bool any = false;
        while (true) {
            const ssize_t n = ::read(fd, buf, sizeof buf);
            if (n <= 0)
                break;
            ingest(buf, size_t(n), steadyNowUs());
            any = true;
        }
        return any;
    }
    void flushOut()
    {
        while (fd >= 0 && !out.empty()) {
            uint8_t chunk[4096];
            const size_t n = std::min(out.size(), sizeof chunk);
            std::copy_n(out.begin(), n, chunk);
            const ssize_t w = ::write(fd, chunk, n);
            if (w <= 0)
                break;
            out.erase(out.begin(), out.begin() + w);
            handed += uint64_t(w);
        }
    }
    // Bytes the driver still has to send.  A UART whose buffer is empty may
    // still hold a few bytes in its FIFO: count one until its transmitter is
    // empty, where the driver can tell.
    size_t driverOutQueue() const
    {
        int q = 0;
        if (fd < 0 || ioctl(fd, TIOCOUTQ, &q) != 0 || q < 0)
            return 0;
        if (q == 0) {
            unsigned lsr = 0;
            if (ioctl(fd, TIOCSERGETLSR, &lsr) == 0 && !(lsr & TIOCSER_TEMT))
                return 1;
        }
        return size_t(q);
    }
    void copyOut()
    {
        if (read && read->copied < read->data.size()) {
            std::copy(read->data.begin() + std::ptrdiff_t(read->copied), read->data.end(),
                      read->buf + read->copied);
            read->copied = read->data.size();
        }
    }
    void settle()
    {
        pull();
        const int64_t now = steadyNowUs();
        if (read)
            read->timer.expire(now);
        copyOut();
    }
    // Brings the write up to date; true when it has completed.
    bool checkWrite()
    {
        if (!write)
            return false;
        WriteOp& w = *write;
        if (w.done)
            return true;
        flushOut();
        const size_t outq = driverOutQueue();
        const uint64_t gone = handed > outq ? handed - outq : 0;
        if (gone >= w.last) {
            w.done = true;
            w.count = size_t(w.last - w.first);
        } else if (w.deadline && steadyNowUs() >= *w.deadline) {
            // The write time-out: what has not gone out is not sent.
            w.done = true;
            w.count = size_t(gone > w.first ? gone - w.first : 0);
            const uint64_t unhanded = queuedOut - handed;
            const uint64_t ofThis = std::min<uint64_t>(unhanded, w.last - w.first);
            out.erase(out.end() - std::ptrdiff_t(ofThis), out.end());
            queuedOut -= ofThis;
            if (handed > gone)
                tcflush(fd, TCOFLUSH);
        }
        return w.done;
    }

    void run()
    {
        std::unique_lock lock(m);
        bool hungUp = false;
        while (!stop) {
            const bool wantOut = !out.empty();
            lock.unlock();
            pollfd fds[2] = {{hungUp ? -1 : fd, short(POLLIN | (wantOut ? POLLOUT : 0)), 0}, {wakeFd, POLLIN, 0}};
            const int r = ::poll(fds, 2, hungUp ? 200 : -1);
            lock.lock();
            if (stop)
                break;
            if (r < 0)
                continue;
            if (fds[1].revents & POLLIN) {
                uint64_t v;
                [[maybe_unused]] ssize_t ignored = ::read(wakeFd, &v, sizeof v);
            }
            hungUp = false;
            if (fds[0].revents & (POLLIN | POLLERR | POLLHUP)) {
                const bool got = pull();
                if (got)
                    cv.notify_all();
                else if (fds[0].revents & (POLLERR | POLLHUP))
                    hungUp = true; // the other end is gone: look again later
            }
            if (fds[0].revents & POLLOUT) {
                flushOut();
                cv.notify_all();
            }
        }
    }
    void wake()
    {
        const uint64_t one = 1;
        [[maybe_unused]] ssize_t ignored = ::write(wakeFd, &one, sizeof one);
    }
};

TermiosPort::TermiosPort(std::string path, std::string name) : d_(std::make_unique<Impl>())
{
    d_->path = std::move(path);
    d_->label = name.empty() || name == d_->path ? d_->path : name + " (" + d_->path + ")";
    const int fd = ::open(d_->path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        d_->error = openFailure(d_->label, errno);
        return;
    }
    auto fail = [&](int err) {
        d_->error = openFailure(d_->label, err);
        ::close(fd);
    };
    if (!isatty(fd)) {
        fail(ENOTTY);
        return;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        fail(errno == EWOULDBLOCK ? EBUSY : errno);
        return;
    }
    if (ioctl(fd, TIOCEXCL) != 0 && errno != ENOTTY && errno != EINVAL) {
        fail(errno);
        return;
    }
    d_->wakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (d_->wakeFd < 0) {
        fail(errno);
        return;
    }
    applySettings(fd, LineSettings{});
    d_->lowLatency = askLowLatency(fd);
    tcflush(fd, TCIOFLUSH);
    d_->fd = fd;
    d_->io = std::thread([this] { d_->run(); });
}

TermiosPort::~TermiosPort() { close(); }

void TermiosPort::close()
{
    {
        std::lock_guard lock(d_->m);
        if (d_->fd < 0)
            return;
        d_->stop = true;
    }
    d_->wake();
    if (d_->io.joinable())
        d_->io.join();
    std::lock_guard lock(d_->m);
    d_->copyOut();
    ::close(d_->fd);
    ::close(d_->wakeFd);
    d_->fd = d_->wakeFd = -1;
    d_->read.reset();
    d_->write.reset();
    d_->last = Impl::Last::None;
    d_->error = "Порт " + d_->label + " закрыт.";
}

bool TermiosPort::isOpen() const
{
    std::lock_guard lock(d_->m);
    return d_->fd >= 0;
}

std::string TermiosPort::openError() const
{
    std::lock_guard lock(d_->m);
    return d_->fd >= 0 ? std::string() : d_->error;
}

const std::string& TermiosPort::path() const { return d_->path; }
bool TermiosPort::lowLatency() const { return d_->lowLatency; }
uint64_t TermiosPort::overruns() const
{
    std::lock_guard lock(d_->m);
    return d_->overruns;
}

void TermiosPort::setTimeouts(const CommTimeouts& t)
{
    std::lock_guard lock(d_->m);
    d_->settle();
    d_->timeouts = t;
}

void TermiosPort::setupQueues(uint32_t rx, uint32_t /*tx: the driver's own buffer*/)
{
    std::lock_guard lock(d_->m);
    d_->settle();
    if (rx > 0)
        d_->rxCap = rx;
}

void TermiosPort::setLineSettings(const LineSettings& s)
{
    std::lock_guard lock(d_->m);
    d_->settle();
    if (d_->fd >= 0)
        applySettings(d_->fd, s);
}

void TermiosPort::purge(unsigned flags)
{
    std::lock_guard lock(d_->m);
    if (d_->fd < 0)
        return;
    d_->settle(); // what a pending read has taken stays its own
    if (flags & PurgeRx) {
        d_->queue.clear();
        tcflush(d_->fd, TCIFLUSH);
    }
    if (flags & PurgeTx) {
        const size_t outq = d_->driverOutQueue();
        const uint64_t gone = d_->handed > outq ? d_->handed - outq : 0;
        // Bytes not yet handed over and those still in the driver are dropped;
        // the output stream goes on from what has gone out.
        d_->out.clear();
        tcflush(d_->fd, TCOFLUSH);
        d_->handed = d_->queuedOut = gone;
        if (d_->write && !d_->write->done) {
            Impl::WriteOp& w = *d_->write;
            w.done = true;
            w.count = size_t(gone > w.first ? std::min(gone, w.last) - w.first : 0);
        }
    }
}

bool TermiosPort::startWrite(const uint8_t* data, size_t n)
{
    {
        std::lock_guard lock(d_->m);
        if (d_->fd < 0 || (!data && n)) {
            d_->last = Impl::Last::None;
            return false;
        }
        d_->settle();
        Impl::WriteOp w;
        w.first = d_->queuedOut;
        w.last = w.first + n;
        w.startUs = steadyNowUs();
        const int64_t totalMs = int64_t(d_->timeouts.writeMultiplier) * int64_t(n) + int64_t(d_->timeouts.writeConstant);
        if (totalMs > 0)
            w.deadline = w.startUs + totalMs * 1000;
        if (n)
            d_->out.insert(d_->out.end(), data, data + n);
        d_->queuedOut += n;
        d_->write = w;
        d_->last = Impl::Last::Write;
        d_->flushOut();
    }
    d_->wake(); // the reader thread sends the rest as the driver takes it
    return true;
}

bool TermiosPort::startRead(uint8_t* buf, size_t n, uint32_t noByteLimitMs)
{
    std::lock_guard lock(d_->m);
    if (d_->fd < 0 || (!buf && n)) {
        d_->last = Impl::Last::None;
        return false;
    }
    d_->settle();
    const int64_t now = steadyNowUs();
    if (d_->read)
        d_->read->timer.cancel(now);
    d_->read.emplace(Impl::ReadOp{buf, ReadTimer(now, n, d_->timeouts, noByteLimitMs), {}, 0});
    d_->read->data.reserve(std::min<size_t>(n, 16384));
    d_->last = Impl::Last::Read;
    // Bytes already waiting are taken at once.
    while (!d_->queue.empty() && d_->read->timer.offer(d_->queue.front().atUs)) {
        d_->read->data.push_back(d_->queue.front().value);
        d_->queue.pop_front();
        ++d_->taken;
    }
    d_->read->timer.expire(now);
    d_->copyOut();
    return true;
}

bool TermiosPort::result(uint32_t& count, bool wait)
{
    std::unique_lock lock(d_->m);
    count = 0;
    if (d_->fd < 0 || d_->last == Impl::Last::None)
        return false;
    d_->settle();
    if (d_->last == Impl::Last::Write) {
        bool done = d_->checkWrite();
        while (wait && !done) {
            // Nothing signals a drained driver queue: look again shortly.
            auto until = std::chrono::steady_clock::now() + std::chrono::microseconds(500);
            if (d_->write->deadline)
                until = std::min(until, pointOf(*d_->write->deadline));
            d_->cv.wait_until(lock, until);
            done = d_->checkWrite();
        }
        count = uint32_t(done ? d_->write->count : 0);
        if (!done) {
            const size_t outq = d_->driverOutQueue();
            const uint64_t gone = d_->handed > outq ? d_->handed - outq : 0;
            count = uint32_t(gone > d_->write->first ? std::min(gone, d_->write->last) - d_->write->first : 0);
        }
        return done;
    }
    Impl::ReadOp& r = *d_->read;
    while (wait && !r.timer.done()) {
        if (const auto dl = r.timer.deadline())
            d_->cv.wait_until(lock, pointOf(*dl));
        else
            d_->cv.wait(lock);
        d_->settle();
    }
    d_->copyOut();
    count = uint32_t(r.timer.count());
    return r.timer.done();
}

uint64_t TermiosPort::bytesRead()
{
    std::lock_guard lock(d_->m);
    d_->settle();
    return d_->taken;
}

void TermiosPort::setCommMask(uint32_t mask)
{
    std::lock_guard lock(d_->m);
    d_->settle();
    d_->mask = mask;
    d_->eventMark = d_->arrivals;
}

bool TermiosPort::waitCharReceived(int64_t maxWaitMs)
{
    std::unique_lock lock(d_->m);
    if (d_->fd < 0 || !(d_->mask & EvRxChar))
        return false;
    d_->settle();
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(std::max<int64_t>(maxWaitMs, 0));
    while (d_->arrivals <= d_->eventMark) {
        if (maxWaitMs >= 0) {
            if (d_->cv.wait_until(lock, until) == std::cv_status::timeout) {
                d_->settle();
                break;
            }
        } else {
            d_->cv.wait(lock);
        }
        d_->settle();
    }
    const bool seen = d_->arrivals > d_->eventMark;
    if (seen)
        d_->eventMark = d_->arrivals;
    return seen;
}

// ---- opener ---------------------------------------------------------------------

std::string TermiosPortOpener::devicePath(const std::string& name)
{
    auto fromEnv = [](const char* var, const char* fallback) {
        const char* v = std::getenv(var);
        return std::string(v && *v ? v : fallback);
    };
    if (name == "COM1")
        return fromEnv("KORLIN_COM1", "/dev/ttyS0");
    if (name == "COM2")
        return fromEnv("KORLIN_COM2", "/dev/ttyS1");
    return name;
}

std::unique_ptr<SerialPort> TermiosPortOpener::open(const std::string& name)
{
    return std::make_unique<TermiosPort>(devicePath(name), name);
}

} // namespace korlin
