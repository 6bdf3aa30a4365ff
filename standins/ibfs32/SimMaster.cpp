#include "SimMaster.h"

#include <cstdlib>
#include <cstring>
#include <thread>

namespace onewiresim {

void SimMaster::busTime(std::chrono::microseconds duration) {
    const char* timing = std::getenv("ONEWIRE_SIM_TIMING");
    if (timing && (std::strcmp(timing, "off") == 0 || std::strcmp(timing, "0") == 0))
        return;
    if (duration.count() > 0)
        std::this_thread::sleep_for(duration);
}

void SimMaster::spend(std::chrono::microseconds duration) {
    owed_ += duration;
    if (owed_ >= kResetTime) {
        busTime(owed_);
        owed_ = {};
    }
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

std::string SimMaster::describe() const {
    return "simulated adapter in " + bus_.adapter().dir().string();
}

} // namespace onewiresim
