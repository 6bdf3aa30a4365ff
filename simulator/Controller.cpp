#include "Controller.h"

#include "LittleEndian.h"
#include "ReadCommandRecord.h"
#include "TabletImage.h"

#include <algorithm>
#include <cmath>
#include <random>

namespace onewiresim {

namespace {

constexpr int kRecords = 124;
constexpr int64_t kDay = 86400;
constexpr int64_t kHour = 3600;
// The group codes the scripted histories use, per main-layout variant.
struct MainCodes {
    int normal, console, zoneFault, zoneInfo, automation, power, notification;
};
constexpr MainCodes kMainCodes = {0, 3, 4, 8, 13, 14, 15};
constexpr MainCodes kMilitaryCodes = {0, 2, 3, 8, 13, 14, 15};

// One timeline step of a scripted history: how long after the previous step
// it happened, and what was logged. A power-up restarts the counter.
struct Step {
    int64_t gap;
    uint8_t kind; // garage kind
    uint8_t code;
    bool powerUp = false;   // garage: the counter restarts at this record
    bool powerLoss = false; // main/military: the counter restarts after this record
};

uint8_t mc(int code, int sub) {
    return static_cast<uint8_t>(code << 4 | sub);
}

std::vector<Step> scriptedGarage() {
    return {
        {0, 3, 0x80, true},
        {40, 1, 0x05},
        {5 * kDay, 0, 0x01},
        {2 * kHour, 0, 0x00},
        {3 * kDay, 1, 0x01},
        {600, 1, 0x05},
        {4 * kDay, 3, 0x01},
        {3 * kHour, 3, 0x00},
        // power lost for a day; the counter restarts with the power-up
        {kDay, 3, 0x80, true},
        {30, 1, 0x05},
        {6 * kDay, 2, 0x04},
        {40, 2, 0x0C},
        {30, 2, 0x48},
        {30, 2, 0x8C},
        {300, 2, 0xC0},
        {kDay, 0, 0x80},
        {5 * kHour, 0, 0x00},
        {2 * kDay, 1, 0x03},
        {kHour, 1, 0x07},
        {kHour, 3, 0x00},
    };
}

std::vector<Step> scriptedMain(const MainCodes& c, int zones) {
    const int z2 = std::min(2, zones) - 1;
    return {
        {0, 0, mc(c.notification, 0x9)},
        {60, 0, mc(c.normal, 8)},
        {30, 0, mc(c.automation, 11)},
        {3 * kDay, 0, mc(c.zoneFault + z2, 1)},
        {2 * kHour, 0, mc(c.zoneFault + z2, 0)},
        {2 * kDay, 0, mc(c.power, 4)},
        {kHour, 0, mc(c.power, 8)},
        {kDay, 0, mc(c.notification, 0x2), false, true},
        {2 * kHour, 0, mc(c.notification, 0x9)},
        {60, 0, mc(c.console, 0)},
        {60, 0, mc(c.automation, 11)},
        {4 * kDay, 0, mc(c.zoneInfo + z2, 13)},
        {40, 0, mc(c.zoneInfo + z2, 14)},
        {600, 0, mc(c.zoneInfo + z2, 15)},
        {kDay, 0, mc(c.automation, 2)},
        {kHour, 0, mc(c.console, 8)},
        {300, 0, mc(c.console, 0)},
        {2 * kHour, 0, mc(c.automation, 11)},
        {kDay, 0, mc(c.normal, 8)},
    };
}

std::vector<Step> randomHistory(Variant v, uint32_t seed, int count) {
    // mt19937 is the same everywhere; the distributions and std::shuffle are not,
    // so the mapping to ranges and the shuffle are our own.
    std::mt19937 rng(seed);
    auto pick = [&](int lo, int hi) {
        return lo + static_cast<int>(rng() % static_cast<uint32_t>(hi - lo + 1));
    };
    std::vector<Step> steps;
    // every code of the variant at least once, then any codes
    for (int i = 0; i < count; ++i) {
        Step s{};
        if (v == Variant::Garage) {
            s.kind = static_cast<uint8_t>(i < 4 ? i : pick(0, 3));
            s.code = static_cast<uint8_t>(pick(0, 255));
            if (s.kind == 3 && pick(0, 2) == 0)
                s.code = 0x80;
            s.powerUp = s.kind == 3 && s.code == 0x80;
        } else {
            const int code = i < 16 ? i : pick(0, 15);
            s.code = mc(code, pick(0, 15));
            s.powerLoss = code == 15 && (s.code & 0x02);
        }
        steps.push_back(s);
    }
    for (size_t i = steps.size(); i > 1; --i)
        std::swap(steps[i - 1], steps[static_cast<size_t>(pick(0, static_cast<int>(i) - 1))]);
    for (auto& s : steps) {
        // mostly minutes to days; now and then a long quiet spell that wraps the counter
        const int r = pick(0, 99);
        s.gap = r < 60 ? pick(1, 3600) : r < 95 ? pick(3600, 5 * 86400) : pick(100, 400) * kDay;
    }
    return steps;
}

uint32_t encode(Variant v, uint8_t kind, uint8_t code, int64_t counter) {
    const RecordCodec& codec = *variantRow(v).codec;
    return codec.encode({code, kind, static_cast<uint32_t>(counter % codec.counterRange)});
}

} // namespace

std::string readCommandProblem(const MemoryButton& tablet) {
    const auto& m = tablet.memory();
    if (m.size() < TabletImage::kHeadersAndEvents)
        return "the tablet has no room for the event memory";
    if (m[0] != ReadCommandRecord::kCommandByte)
        return "the tablet carries no read command (command byte is not 04)";
    if (!TabletImage(m).headerValid(TabletImage::kFirstHeader))
        return "the read command on the tablet fails its CRC";
    const uint8_t version = m[ReadCommandRecord::kVersionOffset];
    const auto expected = ReadCommandRecord::build(tablet.rom(), version);
    if (!std::equal(expected.begin() + 1, expected.begin() + ReadCommandRecord::kVersionOffset,
                    m.begin() + 1))
        return "the read command on the tablet was written for another tablet";
    if (version != 0x01 && version != 0x02)
        return "the read command on the tablet has an unknown version";
    return {};
}

EventMemory buildEventMemory(const ControllerOptions& options) {
    const Variant v = options.variant;
    const bool garage = v == Variant::Garage;
    std::vector<Step> steps;
    if (options.seed)
        steps = randomHistory(v, *options.seed, options.events < 0 ? kRecords : options.events);
    else if (garage)
        steps = scriptedGarage();
    else
        steps = scriptedMain(v == Variant::Main ? kMainCodes : kMilitaryCodes, variantRow(v).zones);

    // Walk the timeline oldest first; the controller logs each step with its counter.
    std::vector<uint32_t> logged;
    int64_t counter = 0;
    bool restartPending = false;
    for (const Step& s : steps) {
        counter = restartPending ? std::min<int64_t>(s.gap, 60) : counter + s.gap;
        restartPending = false;
        if (s.powerUp)
            counter = 0;
        logged.push_back(encode(v, s.kind, s.code, counter));
        if (s.powerLoss)
            restartPending = true;
    }
    EventMemory memory;
    memory.area.fill(0xFF); // records the controller has not written stay erased
    int count = static_cast<int>(logged.size());
    if (options.events >= 0)
        count = std::min(count, options.events);
    count = std::min(count, kRecords);
    // newest first
    for (int i = 0; i < count; ++i)
        le::write32(memory.area.data() + 4 * i, logged[logged.size() - 1 - static_cast<size_t>(i)]);
    const int64_t range = variantRow(v).codec->counterRange;
    counter = restartPending ? 30 : counter + 2 * kHour;
    memory.counterNow = counter % range;
    if (garage)
        memory.counterNow -= memory.counterNow % 8;
    return memory;
}

bool touchController(MemoryButton& tablet, const ControllerOptions& options, double now,
                     std::string& error) {
    error = readCommandProblem(tablet);
    if (!error.empty())
        return false;
    const EventMemory events = buildEventMemory(options);
    auto& m = tablet.memory();
    TabletImage image(m);
    std::copy(events.area.begin(), events.area.end(), image.eventArea().begin());

    // The time stamp relates the counter to the tablet's clock: main and garage
    // store clock minus counter, the military controller its counter.
    uint32_t clockSeconds = 0;
    uint8_t fraction = 0;
    tablet.clockAt(now, clockSeconds, fraction);
    const int64_t stamp = options.variant == Variant::Military
                              ? events.counterNow
                              : static_cast<int64_t>(clockSeconds) - events.counterNow;
    image.setTimeStamp(static_cast<int32_t>(static_cast<uint32_t>(stamp)));
    image.setDeviceNumber(static_cast<uint8_t>(
        options.device >= 0 ? options.device : variantRow(options.variant).deviceNumber));
    image.sealSecondHeader();
    std::copy_n(image.bytes().begin(), TabletImage::kHeadersAndEvents, m.begin());
    return true;
}

} // namespace onewiresim
