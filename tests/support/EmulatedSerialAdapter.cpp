#include "EmulatedSerialAdapter.h"

#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

EmulatedSerialAdapter::EmulatedSerialAdapter(onewire::OneWireMaster& wire, bool silent)
    : silent_(silent), emulator_(wire) {
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0)
        return;
    device_ = ptsname(master_);
    slave_ = ::open(device_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios tio{};
    if (slave_ < 0 || tcgetattr(slave_, &tio) != 0) {
        ::close(master_);
        master_ = -1;
        return;
    }
    cfmakeraw(&tio);
    tcsetattr(slave_, TCSANOW, &tio);
    thread_ = std::thread([this] { serve(); });
}

EmulatedSerialAdapter::~EmulatedSerialAdapter() {
    stop_ = true;
    if (thread_.joinable())
        thread_.join();
    if (slave_ >= 0)
        ::close(slave_);
    if (master_ >= 0)
        ::close(master_);
}

void EmulatedSerialAdapter::serve() {
    std::vector<uint8_t> answers;
    while (!stop_) {
        pollfd p{master_, POLLIN, 0};
        if (::poll(&p, 1, 20) <= 0 || !(p.revents & POLLIN))
            continue;
        uint8_t in[256];
        const ssize_t n = ::read(master_, in, sizeof in);
        if (n <= 0)
            continue;
        if (silent_)
            continue;
        answers.clear();
        {
            std::lock_guard lock(mutex_);
            for (ssize_t i = 0; i < n; ++i)
                emulator_.receive(in[i], answers);
        }
        size_t done = 0;
        while (done < answers.size()) {
            const ssize_t w = ::write(master_, answers.data() + done, answers.size() - done);
            if (w <= 0)
                break;
            done += static_cast<size_t>(w);
        }
    }
}
