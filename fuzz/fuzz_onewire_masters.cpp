// The 1-Wire masters' parsing of what an adapter sends: DS2490 status packets
// and read-back bytes through the USB seam, DS2480B search-accelerator
// answers, and the ROM search on top of both. Nothing may crash, hang or
// report a ROM without a good CRC.
#include "Ds2480b.h"
#include "Ds2490Master.h"
#include "RomSearch.h"
#include "Status.h"

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <vector>

using namespace onewire;

namespace {

// Hands out the fuzzer's bytes; 0xFF once they run out.
struct Input {
    const uint8_t* data;
    size_t size;
    size_t at = 0;
    uint8_t next() { return at < size ? data[at++] : 0xFF; }
    bool done() const { return at >= size; }
};

class ReplayUsb : public UsbTransport {
public:
    explicit ReplayUsb(Input& in) : in_(in) {}
    int control(uint8_t, uint16_t, uint16_t) override { return result(0); }
    int status(uint8_t* data, int length) override {
        const int n = in_.next() % (length + 1);
        for (int i = 0; i < n; ++i)
            data[i] = in_.next();
        return result(n);
    }
    int bulkOut(const uint8_t*, int length) override { return result(length); }
    int bulkIn(uint8_t* data, int length) override {
        const int n = in_.next() % (length + 1);
        for (int i = 0; i < n; ++i)
            data[i] = in_.next();
        return result(n);
    }

private:
    int result(int ok) {
        if (in_.done())
            return onewire::kErrPort; // the device went away with the input
        const uint8_t k = in_.next();
        return k == 0xFE ? onewire::kErrPort : k == 0xFD ? onewire::kErrTimeout : ok;
    }
    Input& in_;
};

// A master whose search passes are DS2480B accelerator answers from the input.
class ReplaySearch : public OneWireMaster {
public:
    explicit ReplaySearch(Input& in) : in_(in) {}
    int reset() override { return in_.next() % 4; }
    int touchByte(uint8_t) override { return in_.next(); }
    int touchBit(bool) override { return in_.next() & 1; }
    int searchPass(const Rom&, SearchPass& out) override {
        uint8_t answer[16];
        for (uint8_t& b : answer)
            b = in_.next();
        return ds2480b::decodeSearch(answer, out);
    }
    std::string describe() const override { return "replay"; }

private:
    Input& in_;
};

void checkSearch(OneWireMaster& m, Input& in) {
    std::vector<uint8_t> state(RomSearch::kStateSize);
    for (uint8_t& b : state)
        b = in.next();
    for (int i = 0; i < 8 && !in.done(); ++i) {
        const int r = RomSearch::next(m, state.data());
        if (r == 1) {
            Rom rom;
            std::copy_n(state.begin() + RomSearch::kStateRom, 8, rom.begin());
            if (!RomSearch::plausible(rom))
                std::abort();
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    Input in{data + 1, size - 1};
    if (data[0] & 1) {
        ReplaySearch m(in);
        checkSearch(m, in);
        return 0;
    }
    Ds2490Master m(std::make_unique<ReplayUsb>(in), "fuzz");
    std::string error;
    if (!m.init(error))
        return 0;
    for (int i = 0; i < 16 && !m.broken(); ++i) {
        switch (in.next() % 4) {
        case 0:
            if (const int r = m.reset(); r > 3)
                std::abort();
            break;
        case 1:
            if (m.touchByte(in.next()) > 255)
                std::abort();
            break;
        case 2:
            if (m.touchBit(in.next() & 1) > 1)
                std::abort();
            break;
        default:
            checkSearch(m, in);
        }
    }
    return 0;
}
