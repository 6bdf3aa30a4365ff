#include "SerialLine.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace onewire {

namespace {

using Clock = std::chrono::steady_clock;

int msLeft(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left < 0 ? 0 : static_cast<int>(left);
}

} // namespace

SerialLine::~SerialLine() {
    close();
}

bool SerialLine::open(const std::string& device, std::string& error) {
    close();
    fd_ = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0) {
        error = "cannot open " + device + ": " + std::strerror(errno);
        return false;
    }
    termios tio{};
    if (!isatty(fd_) || tcgetattr(fd_, &tio) != 0) {
        error = device + " is not a serial device";
        close();
        return false;
    }
    cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    tio.c_cflag &= ~static_cast<tcflag_t>(CSTOPB | PARENB | CRTSCTS);
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    cfsetispeed(&tio, B9600);
    cfsetospeed(&tio, B9600);
    if (tcsetattr(fd_, TCSANOW, &tio) != 0) {
        error = "cannot set up " + device + ": " + std::strerror(errno);
        close();
        return false;
    }
    tcflush(fd_, TCIOFLUSH);
    return true;
}

void SerialLine::close() {
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

bool SerialLine::write(const uint8_t* data, size_t length, std::chrono::milliseconds limit) {
    const auto deadline = Clock::now() + limit;
    size_t done = 0;
    while (fd_ >= 0 && done < length) {
        const ssize_t n = ::write(fd_, data + done, length - done);
        if (n > 0) {
            done += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR)
            return false;
        pollfd p{fd_, POLLOUT, 0};
        const int left = msLeft(deadline);
        if (left == 0 || (::poll(&p, 1, left) < 0 && errno != EINTR))
            return false;
        if (p.revents & (POLLERR | POLLNVAL))
            return false;
    }
    return done == length;
}

int SerialLine::read(uint8_t* data, size_t length, std::chrono::milliseconds limit) {
    const auto deadline = Clock::now() + limit;
    size_t done = 0;
    while (fd_ >= 0 && done < length) {
        const ssize_t n = ::read(fd_, data + done, length - done);
        if (n > 0) {
            done += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR)
            return -1;
        pollfd p{fd_, POLLIN, 0};
        const int left = msLeft(deadline);
        if (left == 0)
            break;
        const int r = ::poll(&p, 1, left);
        if (r < 0 && errno != EINTR)
            return -1;
        // the other end closed (a pseudo-terminal whose peer left, a device unplugged)
        if (r > 0 && !(p.revents & POLLIN) && (p.revents & (POLLHUP | POLLERR | POLLNVAL)))
            return -1;
    }
    return static_cast<int>(done);
}

void SerialLine::flushInput() {
    if (fd_ >= 0)
        tcflush(fd_, TCIFLUSH);
}

void SerialLine::sendBreak() {
    if (fd_ >= 0)
        tcsendbreak(fd_, 0);
}

} // namespace onewire
