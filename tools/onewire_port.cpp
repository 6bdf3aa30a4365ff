// onewire-port: chooses the 1-Wire port the driver library opens by default,
// lists the adapters found and tests one: reset, search, the ROM codes found
// and a DS1994's clock.
#include "ExitCode.h"
#include "LibusbTransport.h"
#include "MasterRegistry.h"
#include "RomSearch.h"
#include "SimAdapter.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <iostream>
#include <string>
#include <unistd.h>
#include <vector>

using namespace onewire;
namespace fs = std::filesystem;

namespace {

const char* kUsage = "usage: onewire-port list | set NAME | show | test [NAME] | --help\n"
                     "  NAME: sim, usb, usb:N (the N-th DS2490), serial:DEVICE (a DS2480B), auto\n"
                     "The driver takes $ONEWIRE_PORT, else what `set` wrote, else auto (the first\n"
                     "DS2490 on the USB, otherwise the simulated adapter).\n";

int fail(const std::string& message) {
    std::cerr << "onewire-port: " << message << "\n";
    return kExitFailed;
}

int usage(const std::string& message) {
    std::cerr << "onewire-port: " << message << "\n" << kUsage;
    return kExitUsage;
}

std::string hex(const Rom& rom) {
    std::string s;
    char b[4];
    for (uint8_t v : rom) {
        std::snprintf(b, sizeof b, "%02X", v);
        s += s.empty() ? "" : " ";
        s += b;
    }
    return s;
}

int list() {
    std::string error;
    const auto usb = LibusbTransport::list(error);
    if (!error.empty())
        std::cout << "usb            " << error << "\n";
    for (size_t i = 0; i < usb.size(); ++i) {
        const std::string name = i == 0 ? "usb" : "usb:" + std::to_string(i);
        std::cout << name << std::string(name.size() < 15 ? 15 - name.size() : 1, ' ')
                  << "DS2490 on " << usb[i].name
                  << (usb[i].problem.empty() ? "" : " - " + usb[i].problem) << "\n";
    }
    if (usb.empty() && error.empty())
        std::cout << "usb            no DS2490 USB adapter is plugged in\n";
    // serial devices a DS2480B adapter may sit on; only a test tells
    std::vector<fs::path> serial;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator("/dev", ec)) {
        const std::string n = e.path().filename().string();
        if (n.rfind("ttyUSB", 0) == 0 || n.rfind("ttyACM", 0) == 0)
            serial.push_back(e.path());
    }
    std::sort(serial.begin(), serial.end());
    for (const fs::path& p : serial) {
        const std::string name = "serial:" + p.string();
        std::cout << name << "  serial device (DS2480B adapter?)"
                  << (::access(p.c_str(), R_OK | W_OK) == 0
                          ? ""
                          : " - no permission (join the group that owns it, e.g. dialout)")
                  << "\n";
    }
    const onewiresim::SimAdapter sim(onewiresim::SimAdapter::defaultDir());
    std::cout << "sim            simulated adapter in " << sim.dir().string()
              << (sim.exists() && !sim.usable() ? " - cannot be used" : "") << "\n";
    return kExitOk;
}

int show() {
    std::string source, error;
    const auto port = PortName::current(source, error);
    if (!port)
        return fail(error);
    std::cout << "port: " << port->text() << " (from " << source << ")\n";
    if (port->kind == PortName::Kind::Auto)
        std::cout << "now:  " << MasterRegistry::resolve(*port).text() << "\n";
    return kExitOk;
}

int set(const std::string& text) {
    const auto port = PortName::parse(text);
    if (!port)
        return usage("'" + text + "' does not name a port");
    std::string error;
    if (!PortName::writeConfig(*port, error))
        return fail(error);
    std::cout << "default port: " << port->text() << " (written to "
              << PortName::configFile().string() << ")\n";
    std::error_code ec;
    if (port->kind == PortName::Kind::Serial && !fs::exists(port->device, ec))
        std::cout << "note: " << port->device << " does not exist now\n";
    if (std::getenv("ONEWIRE_PORT"))
        std::cout << "note: ONEWIRE_PORT is set and wins over this default\n";
    return kExitOk;
}

// The DS1994's clock: Read Memory at 0x0202, the fraction and four bytes of
// seconds since 1970.
bool readClock(OneWireMaster& m, uint8_t* state, std::string& date) {
    if (RomSearch::access(m, state) != 1)
        return false;
    for (uint8_t b : {0xF0, 0x02, 0x02})
        if (m.touchByte(b) < 0)
            return false;
    uint32_t seconds = 0;
    for (int i = 0; i < 5; ++i) {
        const int v = m.touchByte(0xFF);
        if (v < 0)
            return false;
        if (i > 0)
            seconds |= static_cast<uint32_t>(v) << (8 * (i - 1));
    }
    const std::time_t t = seconds;
    std::tm tm{};
    gmtime_r(&t, &tm);
    char text[32];
    std::strftime(text, sizeof text, "%d.%m.%Y %H:%M:%S", &tm);
    date = text;
    return true;
}

const char* familyName(uint8_t family) {
    switch (family) {
    case 0x01:
        return "DS1990A (ROM only)";
    case 0x04:
        return "DS1994";
    case 0x06:
        return "DS1993";
    case 0x08:
        return "DS1992";
    default:
        return "unknown family";
    }
}

int test(const std::optional<std::string>& name) {
    std::optional<PortName> port;
    if (name) {
        port = PortName::parse(*name);
        if (!port)
            return usage("'" + *name + "' does not name a port");
    } else {
        std::string source, error;
        port = PortName::current(source, error);
        if (!port)
            return fail(error);
    }
    const PortName resolved = MasterRegistry::resolve(*port);
    std::string error;
    const auto master = MasterRegistry::open(resolved, error);
    if (!master)
        return fail("cannot use " + resolved.text() + ": " + error);
    std::cout << "port:   " << resolved.text() << " - " << master->describe() << "\n";
    using Clock = std::chrono::steady_clock;
    const auto ms = [](Clock::duration d) {
        char text[16];
        std::snprintf(text, sizeof text, "%.1f ms",
                      std::chrono::duration<double, std::milli>(d).count());
        return std::string(text);
    };
    const auto resetStart = Clock::now();
    const int reset = master->reset();
    const auto resetTime = Clock::now() - resetStart;
    for (const std::string& line : master->details())
        std::cout << "adapter: " << line << "\n";
    static const char* kReset[] = {"no presence pulse (no device)", "presence pulse",
                                   "alarming presence pulse", "the bus is shorted"};
    if (reset < 0)
        return fail("the adapter did not answer the reset (" + std::to_string(reset) + ")");
    std::cout << "reset:  " << kReset[reset] << "\n";
    std::vector<uint8_t> state(RomSearch::kStateSize, 0);
    int found = 0;
    Clock::duration searchTime{};
    for (int i = 0; i < 64; ++i) {
        const auto searchStart = Clock::now();
        const int r = RomSearch::next(*master, state.data());
        if (i == 0)
            searchTime = Clock::now() - searchStart;
        if (r < 0)
            return fail("the adapter failed during the search (" + std::to_string(r) + ")");
        if (r == 0)
            break;
        Rom rom;
        std::copy_n(state.begin() + RomSearch::kStateRom, 8, rom.begin());
        ++found;
        std::cout << "device: " << hex(rom);
        std::vector<uint8_t> own(state);
        std::string date;
        if (rom[0] == 0x04 && readClock(*master, own.data(), date))
            std::cout << "  DS1994, clock " << date;
        else
            std::cout << "  " << familyName(rom[0]);
        std::cout << "\n";
    }
    std::cout << "found:  " << found << (found == 1 ? " device" : " devices") << "\n";
    // A byte after a reset with nobody selected: the bus time of one byte.
    master->reset();
    const auto byteStart = Clock::now();
    if (master->touchByte(0xFF) < 0)
        return fail("the adapter failed on a byte");
    const auto byteTime = Clock::now() - byteStart;
    std::cout << "timing: reset " << ms(resetTime) << " (nominal 1 ms), byte " << ms(byteTime)
              << " (nominal 0.5 ms), search " << ms(searchTime)
              << " (nominal 13 ms); a USB adapter adds about 1 ms a call\n";
    return kExitOk;
}

} // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty())
        return usage("no command");
    const std::string& command = args[0];
    if (command == "--help" && args.size() == 1) {
        std::cout << kUsage;
        return 0;
    }
    if (command == "list" && args.size() == 1)
        return list();
    if (command == "show" && args.size() == 1)
        return show();
    if (command == "set" && args.size() == 2)
        return set(args[1]);
    if (command == "test" && args.size() <= 2)
        return test(args.size() == 2 ? std::optional(args[1]) : std::nullopt);
    return usage("unknown command or wrong arguments");
}
