#include "sim/PseudoTerminal.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace sim {

namespace {

std::string failure(const char* step)
{
    return std::string(step) + ": " + std::strerror(errno);
}

// 0 time-out, 1 ready, -1 error or hang-up with nothing to read.
int waitFor(int fd, short events, int timeoutMs)
{
    pollfd p{fd, events, 0};
    int r;
    do {
        r = ::poll(&p, 1, timeoutMs);
    } while (r < 0 && errno == EINTR);
    if (r < 0)
        return -1;
    if (r == 0)
        return 0;
    if ((p.revents & events) != 0)
        return 1;
    return -1;
}

}  // namespace

std::unique_ptr<PseudoTerminal> PseudoTerminal::open(std::string* error)
{
    auto fail = [&](const char* step, int fd) -> std::unique_ptr<PseudoTerminal> {
        if (error)
            *error = failure(step);
        if (fd >= 0)
            ::close(fd);
        return nullptr;
    };
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0)
        return fail("posix_openpt", -1);
    if (::grantpt(master) != 0)
        return fail("grantpt", master);
    if (::unlockpt(master) != 0)
        return fail("unlockpt", master);
    char name[256] = {};
    if (::ptsname_r(master, name, sizeof name) != 0)
        return fail("ptsname", master);
    ::fcntl(master, F_SETFD, FD_CLOEXEC);
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
    const int slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave < 0)
        return fail("open slave", master);
    // The master end of a Linux pty starts raw already; the slave starts as a cooked terminal
    // (echo, CR/LF mapping, XON/XOFF), which would alter the protocol bytes.
    if (!makeRaw(slave) || !makeRaw(master)) {
        ::close(slave);
        return fail("tcsetattr", master);
    }
    return std::unique_ptr<PseudoTerminal>(new PseudoTerminal(master, slave, name));
}

PseudoTerminal::PseudoTerminal(int master, int slave, std::string slavePath)
    : master_(master), slave_(slave), slavePath_(std::move(slavePath))
{
}

PseudoTerminal::~PseudoTerminal()
{
    hangUp();
}

void PseudoTerminal::hangUp()
{
    closeSlave();
    if (master_ >= 0)
        ::close(master_);
    master_ = -1;
}

void PseudoTerminal::closeSlave()
{
    if (slave_ >= 0)
        ::close(slave_);
    slave_ = -1;
}

bool PseudoTerminal::setMasterBlocking(bool blocking)
{
    const int flags = ::fcntl(master_, F_GETFL);
    if (flags < 0)
        return false;
    return ::fcntl(master_, F_SETFL, blocking ? (flags & ~O_NONBLOCK) : (flags | O_NONBLOCK)) == 0;
}

bool PseudoTerminal::makeRaw(int fd)
{
    termios t{};
    if (::tcgetattr(fd, &t) != 0)
        return false;
    ::cfmakeraw(&t);
    t.c_cflag |= CLOCAL | CREAD;
    t.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    return ::tcsetattr(fd, TCSANOW, &t) == 0;
}

long PseudoTerminal::readSome(std::uint8_t* buffer, std::size_t size, int timeoutMs)
{
    const int w = waitFor(master_, POLLIN, timeoutMs);
    if (w <= 0)
        return w;
    ssize_t n;
    do {
        n = ::read(master_, buffer, size);
    } while (n < 0 && errno == EINTR);
    if (n < 0)
        return (errno == EAGAIN || errno == EWOULDBLOCK) ? 0 : -1;  // EIO: no slave is open any more
    return static_cast<long>(n);
}

bool PseudoTerminal::writeAll(const std::uint8_t* data, std::size_t size, int timeoutMs)
{
    std::size_t done = 0;
    while (done < size) {
        if (waitFor(master_, POLLOUT, timeoutMs) <= 0)
            return false;
        const ssize_t n = ::write(master_, data + done, size - done);
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)
                continue;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace sim
