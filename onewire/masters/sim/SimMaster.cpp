#include "SimMaster.h"

#include <cstdlib>
#include <cstring>
#include <thread>

namespace onewiresim {

bool SimMaster::timed() {
    const char* timing = std::getenv("ONEWIRE_SIM_TIMING");
    return !(timing && (std::strcmp(timing, "off") == 0 || std::strcmp(timing, "0") == 0));
}

void SimMaster::busTime(std::chrono::microseconds duration) {
    if (duration.count() > 0 && timed())
        std::this_thread::sleep_for(duration);
}

void SimMaster::spend(std::chrono::microseconds duration) {
    if (!timed())
        return;
    const auto now = std::chrono::steady_clock::now();
    // A bus left idle for a while starts again from now; a late wake-up does not.
    if (now - deadline_ > kStretchedResetTime)
        deadline_ = now;
    deadline_ += duration;
    if (deadline_ - now > kResetTime)
        std::this_thread::sleep_until(deadline_);
}

int SimMaster::reset() {
    spend(kResetTime);
    const int r = bus_.reset();
    if (bus_.lastResetStretched())
        spend(kStretchedResetTime);
    return r;
}

int SimMaster::touchByte(uint8_t byte) {
    spend(kByteTime);
    return bus_.touch(byte);
}

int SimMaster::touchBit(bool bit) {
    spend(kSlotTime);
    return bus_.touchBit(bit) ? 1 : 0;
}

std::unique_ptr<onewire::OneWireMaster> SimMaster::open(const onewire::PortName&,
                                                        std::string& error) {
    SimAdapter adapter(SimAdapter::defaultDir());
    adapter.ensureCreated(error);
    if (!adapter.usable()) {
        error = "the simulated adapter folder " + adapter.dir().string() + " cannot be used" +
                (error.empty() ? "" : ": " + error);
        return nullptr;
    }
    error.clear();
    return std::make_unique<SimMaster>(std::move(adapter));
}

bool SimMaster::port(int number, onewire::PortName& out) {
    out = onewire::PortName{};
    out.kind = onewire::PortName::Kind::Sim;
    return number == 0;
}

bool SimMaster::present() {
    return SimAdapter(SimAdapter::defaultDir()).fault().kind != Fault::Kind::NoPortDriver;
}

std::optional<int> SimMaster::setup(int number) {
    if (number != 0)
        return 3; // no adapter on that port
    const Fault fault = SimAdapter(SimAdapter::defaultDir()).fault();
    if (fault.kind == Fault::Kind::Setup)
        return fault.value;
    return std::nullopt;
}

std::string SimMaster::place() {
    return SimAdapter::defaultDir().string();
}

void SimMaster::pace(onewire::BusCall call, std::chrono::microseconds spent) {
    busTime((call == onewire::BusCall::Setup ? kSetupTime : kSearchTime) - spent);
}

std::string SimMaster::describe() const {
    return "simulated adapter in " + bus_.adapter().dir().string();
}

} // namespace onewiresim
