// onewire-sim: places tablets on the simulated 1-Wire adapter, touches them to
// controllers, dumps and loads their memory, and sets the driver's next fault.
#include "SimTool.h"

#include "ExitCode.h"

#include "Controller.h"
#include "DemoTablet.h"
#include "InputFile.h"
#include "ReadCommandRecord.h"
#include "SimAdapter.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

using namespace onewiresim;

namespace {

// Where the command in progress writes; a run sets them for its thread.
struct Streams {
    std::ostream* out = &std::cout;
    std::ostream* err = &std::cerr;
};
Streams& streams() {
    thread_local Streams current;
    return current;
}

const char* kUsage =
    "usage: onewire-sim [--dir DIR] COMMAND ...\n"
    "       onewire-sim --help\n"
    "  new NAME [--family HEX] [--serial HEX12] [--clock SECONDS] [--erased]\n"
    "           [--model ds1994|ds1993|ds1992|rom]\n"
    "  put NAME...          these tablets lie on the adapter (found in ROM order)\n"
    "  remove               the adapter is empty\n"
    "  list\n"
    "  controller NAME --variant main|garage|military [--device N] [--seed N] [--events N]\n"
    "  command NAME [--version 1|2]  a valid read command on the tablet, as the program writes it\n"
    "  dump NAME [--out FILE]\n"
    "  load NAME FILE       memory from a file of 512 or 544 bytes\n"
    "  fault none|no-port-driver|alarm|setup=N|remove-after=N|flip-bits=N|flip-bits=N@ADDR\n"
    "      alarm           the DS1994s have a pending alarm: alarming presence on every\n"
    "                      reset, the first one stretched, until the fault is cleared\n"
    "      remove-after=N  the tablet is lifted after N data bytes (read, written, copied)\n"
    "      flip-bits=N     one bit flipped in each of the next N bytes the tablet sends\n"
    "      flip-bits=N@ADDR  the same in the N bytes a memory read gives from ADDR on\n"
    "                      (ADDR decimal or 0x hex; 0x010 to 0x1FF events, 0x200 registers)\n"
    "The adapter folder is --dir, else $ONEWIRE_SIM_DIR, else a per-user default.\n";

int fail(const std::string& message) {
    *streams().err << "onewire-sim: " << message << "\n";
    return kExitFailed;
}

int usage(const std::string& message) {
    *streams().err << "onewire-sim: " << message << "\n" << kUsage;
    return kExitUsage;
}

std::optional<unsigned long long> parseNumber(const std::string& text, int base,
                                              unsigned long long max) {
    if (text.empty() || text[0] == '-' || text[0] == '+')
        return std::nullopt;
    char* end = nullptr;
    errno = 0;
    const unsigned long long v = std::strtoull(text.c_str(), &end, base);
    if (*end || errno || v > max)
        return std::nullopt;
    return v;
}

std::array<uint8_t, 6> serialFromName(const std::string& name) {
    uint64_t h = 1469598103934665603ull; // FNV-1a
    for (unsigned char c : name)
        h = (h ^ c) * 1099511628211ull;
    std::array<uint8_t, 6> s{};
    for (int i = 0; i < 4; ++i)
        s[static_cast<size_t>(i)] = static_cast<uint8_t>(h >> (8 * i));
    return s; // the top two bytes stay 0, as on most issued buttons
}

struct Args {
    std::vector<std::string> words;
    size_t i = 0;
    bool more() const { return i < words.size(); }
    const std::string& next() { return words[i++]; }
};

int cmdNew(const SimAdapter& adapter, Args& a) {
    if (!a.more())
        return usage("new needs a NAME");
    const std::string name = a.next();
    if (!SimAdapter::validName(name))
        return fail("invalid tablet name '" + name + "' (letters, digits, - _ .)");
    uint8_t family = 0x04;
    std::optional<Model> model;
    std::array<uint8_t, 6> serial = serialFromName(name);
    std::optional<uint32_t> clock;
    bool erased = false;
    while (a.more()) {
        const std::string opt = a.next();
        if (opt == "--erased") {
            erased = true;
            continue;
        }
        if (!a.more())
            return usage(opt + " needs a value");
        const std::string v = a.next();
        if (opt == "--family") {
            const auto f = parseNumber(v, 16, 0xFF);
            if (!f)
                return usage("--family takes a hex byte");
            family = static_cast<uint8_t>(*f);
        } else if (opt == "--serial") {
            const auto s = v.size() == 12 ? parseNumber(v, 16, 0xFFFFFFFFFFFFull) : std::nullopt;
            if (!s)
                return usage("--serial takes 12 hex digits");
            for (int i = 0; i < 6; ++i)
                serial[static_cast<size_t>(i)] = static_cast<uint8_t>(*s >> (8 * (5 - i)));
        } else if (opt == "--clock") {
            const auto c = parseNumber(v, 10, 0xFFFFFFFFull);
            if (!c)
                return usage("--clock takes seconds since 1970 (0 to 4294967295)");
            clock = static_cast<uint32_t>(*c);
        } else if (opt == "--model") {
            Model m;
            if (!modelFromName(v, m))
                return usage("--model takes ds1994, ds1993, ds1992 or rom");
            model = m;
        } else {
            return usage("unknown option " + opt);
        }
    }
    if (adapter.hasTablet(name))
        return fail("a tablet named '" + name + "' exists already");
    const double now = hostNow();
    MemoryButton tablet(model.value_or(defaultModelForFamily(family)), makeRom(family, serial));
    std::fill(tablet.memory().begin(), tablet.memory().end(), erased ? 0xFF : 0x00);
    if (tablet.hasClock()) {
        tablet.registers()[1] = MemoryButton::kOscillator;
        tablet.setClock(clock.value_or(static_cast<uint32_t>(now)), 0, now);
    }
    std::string error;
    if (!adapter.saveTablet(name, tablet, error))
        return fail(error);
    return kExitOk;
}

int cmdController(const SimAdapter& adapter, Args& a) {
    if (!a.more())
        return usage("controller needs a NAME");
    const std::string name = a.next();
    ControllerOptions options;
    bool variantGiven = false;
    while (a.more()) {
        const std::string opt = a.next();
        if (!a.more())
            return usage(opt + " needs a value");
        const std::string v = a.next();
        if (opt == "--variant") {
            const auto variant = variantFromName(v);
            if (!variant)
                return usage("--variant takes main, garage or military");
            options.variant = *variant;
            variantGiven = true;
        } else if (opt == "--device") {
            const auto d = parseNumber(v, 10, 255);
            if (!d)
                return usage("--device takes 0 to 255");
            options.device = static_cast<int>(*d);
        } else if (opt == "--seed") {
            const auto s = parseNumber(v, 10, 0xFFFFFFFFull);
            if (!s)
                return usage("--seed takes a whole number");
            options.seed = static_cast<uint32_t>(*s);
        } else if (opt == "--events") {
            const auto e = parseNumber(v, 10, 124);
            if (!e)
                return usage("--events takes 0 to 124");
            options.events = static_cast<int>(*e);
        } else {
            return usage("unknown option " + opt);
        }
    }
    if (!variantGiven)
        return usage("controller needs --variant");
    std::string error;
    auto tablet = adapter.loadTablet(name, error);
    if (!tablet)
        return fail(error);
    if (!touchController(*tablet, options, hostNow(), error))
        return fail("the controller refuses the tablet: " + error);
    if (!adapter.saveTablet(name, *tablet, error))
        return fail(error);
    return kExitOk;
}

int cmdCommand(const SimAdapter& adapter, Args& a) {
    if (!a.more())
        return usage("command needs a NAME");
    const std::string name = a.next();
    uint8_t version = 2;
    while (a.more()) {
        const std::string opt = a.next();
        if (opt != "--version" || !a.more())
            return usage("command takes only --version 1|2");
        const std::string v = a.next();
        if (v != "1" && v != "2")
            return usage("--version takes 1 or 2");
        version = static_cast<uint8_t>(v[0] - '0');
    }
    std::string error;
    auto tablet = adapter.loadTablet(name, error);
    if (!tablet)
        return fail(error);
    if (tablet->memory().size() < 8)
        return fail("the tablet has no memory for a read command");
    const auto record = ReadCommandRecord::build(tablet->rom(), version);
    std::copy(record.begin(), record.end(), tablet->memory().begin());
    return adapter.saveTablet(name, *tablet, error) ? 0 : fail(error);
}

int cmdDump(const SimAdapter& adapter, Args& a) {
    if (!a.more())
        return usage("dump needs a NAME");
    const std::string name = a.next();
    std::string out;
    while (a.more()) {
        const std::string opt = a.next();
        if (opt != "--out" || !a.more())
            return usage("dump takes only --out FILE");
        out = a.next();
    }
    std::string error;
    const auto tablet = adapter.loadTablet(name, error);
    if (!tablet)
        return fail(error);
    const double now = hostNow();
    std::string image(544, '\0');
    for (uint16_t addr = 0; addr < 544; ++addr)
        image[addr] = static_cast<char>(tablet->readByte(addr, now));
    if (out.empty()) {
        streams().out->write(image.data(), static_cast<std::streamsize>(image.size()));
        streams().out->flush();
        return *streams().out ? 0 : fail("writing the image failed");
    }
    std::ofstream f(out, std::ios::binary);
    f.write(image.data(), static_cast<std::streamsize>(image.size()));
    f.close();
    return f ? 0 : fail("cannot write " + out + ": " + std::strerror(errno));
}

int cmdLoad(const SimAdapter& adapter, Args& a) {
    if (a.words.size() - a.i != 2)
        return usage("load takes NAME FILE");
    const std::string name = a.next(), file = a.next();
    InputFile in;
    const InputFile::Status status = in.open(file);
    if (status != InputFile::Status::Opened)
        return fail(in.describe(status, file));
    if (in.size() != 512 && in.size() != 544)
        return fail(file + " holds " + std::to_string(in.size()) +
                    " bytes; a memory image has 512 or 544");
    std::vector<uint8_t> data;
    if (!in.readAll(data))
        return fail(in.describe(InputFile::Status::ReadFailed, file));
    std::string error;
    auto tablet = adapter.loadTablet(name, error);
    if (!tablet)
        return fail(error);
    const double now = hostNow();
    const size_t end = tablet->hasClock() ? data.size() : std::min<size_t>(data.size(), 512);
    for (size_t addr = 0; addr < end; ++addr)
        tablet->writeByte(static_cast<uint16_t>(addr), data[addr], now);
    return adapter.saveTablet(name, *tablet, error) ? 0 : fail(error);
}

int cmdList(const SimAdapter& adapter) {
    const auto on = adapter.onAdapter();
    const double now = hostNow();
    for (const auto& name : adapter.tabletNames()) {
        std::string error;
        const auto t = adapter.loadTablet(name, error);
        if (!t) {
            *streams().out << name << "\tdamaged\n";
            continue;
        }
        char rom[32];
        std::snprintf(rom, sizeof rom, "%02X%02X%02X%02X%02X%02X%02X%02X", t->rom()[0], t->rom()[1],
                      t->rom()[2], t->rom()[3], t->rom()[4], t->rom()[5], t->rom()[6], t->rom()[7]);
        *streams().out << name << "\t" << modelName(t->model()) << "\t" << rom;
        if (t->hasClock()) {
            uint32_t seconds;
            uint8_t fraction;
            t->clockAt(now, seconds, fraction);
            *streams().out << "\tclock " << seconds << (t->oscillatorRunning() ? "" : " (stopped)");
        }
        for (size_t i = 0; i < on.size(); ++i)
            if (on[i] == name)
                *streams().out << "\ton adapter #" << (i + 1);
        *streams().out << "\n";
    }
    *streams().out << "fault " << adapter.fault().text() << "\n";
    return kExitOk;
}

} // namespace

int SimTool::run(const std::vector<std::string>& words, std::ostream& out, std::ostream& err) {
    const Streams before = streams();
    streams() = Streams{&out, &err};
    const int status = command(words);
    streams() = before;
    return status;
}

int SimTool::command(const std::vector<std::string>& words) {
    Args a;
    a.words = words;
    if (a.words.size() == 1 && a.words[0] == "--help") {
        *streams().out << kUsage;
        return kExitOk;
    }
    std::filesystem::path dir = SimAdapter::defaultDir();
    if (a.more() && a.words[0] == "--dir") {
        a.next();
        if (!a.more())
            return usage("--dir needs a folder");
        dir = a.next();
    }
    if (!a.more())
        return usage("no command given");
    const std::string command = a.next();
    SimAdapter adapter(dir);
    std::string error;
    if (!DemoTablet::layOnNewFolder(adapter, error))
        return fail(error);

    if (command == "new")
        return cmdNew(adapter, a);
    if (command == "put") {
        std::vector<std::string> names(a.words.begin() + static_cast<long>(a.i), a.words.end());
        if (names.empty())
            return usage("put needs at least one NAME");
        return adapter.setOnAdapter(names, error) ? 0 : fail(error);
    }
    if (command == "remove") {
        if (a.more())
            return usage("remove takes no arguments");
        return adapter.setOnAdapter({}, error) ? 0 : fail(error);
    }
    if (command == "list")
        return cmdList(adapter);
    if (command == "controller")
        return cmdController(adapter, a);
    if (command == "command")
        return cmdCommand(adapter, a);
    if (command == "dump")
        return cmdDump(adapter, a);
    if (command == "load")
        return cmdLoad(adapter, a);
    if (command == "fault") {
        if (a.words.size() - a.i != 1)
            return usage("fault takes one setting");
        const auto fault = Fault::parse(a.next());
        if (!fault)
            return usage(
                "fault takes none, no-port-driver, alarm, setup=N, remove-after=N, flip-bits=N or "
                "flip-bits=N@ADDR");
        return adapter.setFault(*fault, error) ? 0 : fail(error);
    }
    return usage("unknown command '" + command + "'");
}
