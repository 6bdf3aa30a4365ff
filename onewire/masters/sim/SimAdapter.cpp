#include "SimAdapter.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace onewiresim {

namespace {

constexpr const char* kTabletMagic = "onewire-sim-tablet 1";

std::string hex(const uint8_t* data, size_t n) {
    static const char* digits = "0123456789ABCDEF";
    std::string s;
    s.reserve(n * 2);
    for (size_t i = 0; i < n; ++i) {
        s += digits[data[i] >> 4];
        s += digits[data[i] & 15];
    }
    return s;
}

bool unhex(const std::string& s, std::vector<uint8_t>& out) {
    if (s.size() % 2)
        return false;
    out.clear();
    for (size_t i = 0; i < s.size(); i += 2) {
        auto nibble = [](char c) -> int {
            if (c >= '0' && c <= '9')
                return c - '0';
            if (c >= 'A' && c <= 'F')
                return c - 'A' + 10;
            if (c >= 'a' && c <= 'f')
                return c - 'a' + 10;
            return -1;
        };
        const int hi = nibble(s[i]), lo = nibble(s[i + 1]);
        if (hi < 0 || lo < 0)
            return false;
        out.push_back(static_cast<uint8_t>(hi << 4 | lo));
    }
    return true;
}

enum class ReadResult { Read, Missing, TooLarge };

// The folder is anyone's: a file is read only up to `limit` bytes, and only a
// regular file is read at all (a FIFO would block, a device never ends).
ReadResult readText(const fs::path& path, std::string& text, size_t limit) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return ReadResult::Missing;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return ReadResult::TooLarge;
    }
    // room for what the file holds now and one byte more, which tells a file
    // that grew past the limit meanwhile
    const size_t expected = st.st_size > 0 ? static_cast<size_t>(st.st_size) : 0;
    text.assign(std::min(expected, limit) + 1, '\0');
    size_t done = 0;
    while (true) {
        if (done == text.size()) {
            if (text.size() > limit)
                break;
            text.resize(std::min(2 * text.size(), limit + 1));
        }
        const ssize_t n = ::read(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += static_cast<size_t>(n);
    }
    ::close(fd);
    text.resize(done);
    return done > limit ? ReadResult::TooLarge : ReadResult::Read;
}

// The largest file a tablet can be saved as: five short lines, the hex of the
// largest memory (a DS1994's 512 bytes) and of the register page; generously rounded.
constexpr size_t kTabletFileLimit = 4096;
constexpr size_t kListFileLimit = 64 * 1024; // adapter: names of up to 64 characters
constexpr size_t kFaultFileLimit = 256;

} // namespace

double hostNow() {
    timeval tv{};
    gettimeofday(&tv, nullptr);
    return static_cast<double>(tv.tv_sec) + tv.tv_usec / 1e6;
}

namespace {

std::optional<long> parseInt(const std::string& text, long min, long max) {
    if (text.empty())
        return std::nullopt;
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(text.c_str() + (hex ? 2 : 0), &end, hex ? 16 : 10);
    if (*end || errno || v < min || v > max || (hex && text[2] == '-'))
        return std::nullopt;
    return v;
}

} // namespace

std::optional<Fault> Fault::parse(const std::string& text) {
    Fault f;
    if (text == "none")
        return f;
    if (text == "no-port-driver") {
        f.kind = Kind::NoPortDriver;
        return f;
    }
    if (text == "alarm") {
        f.kind = Kind::Alarm;
        return f;
    }
    const auto eq = text.find('=');
    if (eq == std::string::npos)
        return std::nullopt;
    const std::string key = text.substr(0, eq);
    std::string value = text.substr(eq + 1);
    if (key == "flip-bits") {
        if (const auto at = value.find('@'); at != std::string::npos) {
            const auto address = parseInt(value.substr(at + 1), 0, 0xFFFF);
            if (!address)
                return std::nullopt;
            f.address = static_cast<int>(*address);
            value.resize(at);
        }
    }
    const auto v = parseInt(value, -32768, 32767);
    if (!v)
        return std::nullopt;
    f.value = static_cast<int>(*v);
    if (key == "setup")
        f.kind = Kind::Setup;
    else if (key == "remove-after" && *v >= 0)
        f.kind = Kind::RemoveAfter;
    else if (key == "flip-bits" && *v >= 0)
        f.kind = Kind::FlipBits;
    else
        return std::nullopt;
    return f;
}

std::string Fault::text() const {
    switch (kind) {
    case Kind::None:
        return "none";
    case Kind::NoPortDriver:
        return "no-port-driver";
    case Kind::Alarm:
        return "alarm";
    case Kind::Setup:
        return "setup=" + std::to_string(value);
    case Kind::RemoveAfter:
        return "remove-after=" + std::to_string(value);
    case Kind::FlipBits:
        return "flip-bits=" + std::to_string(value) +
               (address >= 0 ? "@" + std::to_string(address) : std::string());
    }
    return "none";
}

fs::path SimAdapter::defaultDir() {
    if (const char* dir = std::getenv("ONEWIRE_SIM_DIR"); dir && *dir)
        return dir;
    if (const char* data = std::getenv("XDG_DATA_HOME"); data && *data)
        return fs::path(data) / "velmora" / "onewire-sim";
    const char* home = std::getenv("HOME");
    return fs::path(home && *home ? home : "/tmp") / ".local" / "share" / "velmora" / "onewire-sim";
}

bool SimAdapter::exists() const {
    std::error_code ec;
    return fs::is_directory(dir_ / "tablets", ec);
}

bool SimAdapter::usable() const {
    return exists() && ::access((dir_ / "tablets").c_str(), R_OK | X_OK) == 0;
}

bool SimAdapter::create(std::string& error) {
    std::error_code ec;
    fs::create_directories(dir_ / "tablets", ec);
    if (ec) {
        error = "cannot create " + (dir_ / "tablets").string() + ": " + ec.message();
        return false;
    }
    return true;
}

bool SimAdapter::ensureCreated(std::string& error) {
    if (exists())
        return true;
    return create(error);
}

bool SimAdapter::validName(const std::string& name) {
    if (name.empty() || name.size() > 64 || name[0] == '.')
        return false;
    for (char c : name)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-' && c != '_' && c != '.')
            return false;
    return true;
}

fs::path SimAdapter::tabletPath(const std::string& name) const {
    return dir_ / "tablets" / (name + ".tablet");
}

bool SimAdapter::hasTablet(const std::string& name) const {
    std::error_code ec;
    return validName(name) && fs::is_regular_file(tabletPath(name), ec);
}

bool SimAdapter::writeAtomically(const fs::path& path, const std::string& content,
                                 std::string& error) const {
    std::string tmp =
        (path.parent_path() / (".tmp-" + path.filename().string() + "-XXXXXX")).string();
    const int fd = mkstemp(tmp.data());
    if (fd < 0) {
        error = "cannot write " + path.string() + ": " + std::strerror(errno);
        return false;
    }
    size_t done = 0;
    while (done < content.size()) {
        const ssize_t n = ::write(fd, content.data() + done, content.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            error = "cannot write " + path.string() + ": " + std::strerror(errno);
            ::close(fd);
            ::unlink(tmp.c_str());
            return false;
        }
        done += static_cast<size_t>(n);
    }
    if (::fsync(fd) != 0 || ::close(fd) != 0 || ::rename(tmp.c_str(), path.c_str()) != 0) {
        error = "cannot write " + path.string() + ": " + std::strerror(errno);
        ::unlink(tmp.c_str());
        return false;
    }
    return true;
}

bool SimAdapter::saveTablet(const std::string& name, const MemoryButton& b,
                            std::string& error) const {
    if (!validName(name)) {
        error = "invalid tablet name '" + name + "'";
        return false;
    }
    std::ostringstream s;
    char clock[96];
    std::snprintf(clock, sizeof clock, "clock %u %u %.6f\n", b.clockBaseSeconds(),
                  static_cast<unsigned>(b.clockBaseFraction()), b.clockReference());
    s << kTabletMagic << "\n"
      << "model " << modelName(b.model()) << "\n"
      << "rom " << hex(b.rom().data(), 8) << "\n"
      << clock << "memory " << hex(b.memory().data(), b.memory().size()) << "\n"
      << "registers " << hex(b.registers().data(), b.registers().size()) << "\n";
    return writeAtomically(tabletPath(name), s.str(), error);
}

std::unique_ptr<MemoryButton> SimAdapter::loadTablet(const std::string& name,
                                                     std::string& error) const {
    std::string text;
    const ReadResult read =
        validName(name) ? readText(tabletPath(name), text, kTabletFileLimit) : ReadResult::Missing;
    if (read == ReadResult::Missing) {
        error = "no tablet named '" + name + "'";
        return nullptr;
    }
    if (read == ReadResult::TooLarge) {
        error = tabletPath(name).string() + " is damaged";
        return nullptr;
    }
    std::istringstream in(text);
    std::string line;
    if (!std::getline(in, line) || line != kTabletMagic) {
        error = tabletPath(name).string() + " is not a tablet file";
        return nullptr;
    }
    Model model = Model::DS1994;
    std::vector<uint8_t> rom, memory, registers;
    unsigned long long seconds = 0;
    unsigned fraction = 0;
    double reference = 0;
    bool ok = true;
    while (ok && std::getline(in, line)) {
        std::istringstream fields(line);
        std::string key, value;
        fields >> key;
        if (key == "model") {
            ok = (fields >> value) && modelFromName(value, model);
        } else if (key == "rom") {
            ok = (fields >> value) && unhex(value, rom) && rom.size() == 8;
        } else if (key == "clock") {
            ok = static_cast<bool>(fields >> seconds >> fraction >> reference) &&
                 seconds <= 0xFFFFFFFFull && fraction <= 255;
        } else if (key == "memory") {
            fields >> value;
            ok = unhex(value, memory);
        } else if (key == "registers") {
            fields >> value;
            ok = unhex(value, registers) && registers.size() == 32;
        }
    }
    std::array<uint8_t, 8> romCode{};
    if (ok && rom.size() == 8)
        std::copy(rom.begin(), rom.end(), romCode.begin());
    auto button = std::make_unique<MemoryButton>(model, romCode);
    if (!ok || rom.size() != 8 || memory.size() != button->memory().size()) {
        error = tabletPath(name).string() + " is damaged";
        return nullptr;
    }
    button->memory() = memory;
    if (registers.size() == 32)
        std::copy(registers.begin(), registers.end(), button->registers().begin());
    button->restoreClock(static_cast<uint32_t>(seconds), static_cast<uint8_t>(fraction), reference);
    return button;
}

std::vector<std::string> SimAdapter::tabletNames() const {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(dir_ / "tablets", ec)) {
        const auto p = entry.path();
        if (p.extension() == ".tablet" && validName(p.stem().string()))
            names.push_back(p.stem().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> SimAdapter::onAdapter() const {
    std::string text;
    std::vector<std::string> names;
    if (readText(adapterFile_, text, kListFileLimit) != ReadResult::Read)
        return names;
    std::istringstream in(text);
    std::string name;
    while (std::getline(in, name))
        if (validName(name))
            names.push_back(name);
    return names;
}

bool SimAdapter::setOnAdapter(const std::vector<std::string>& names, std::string& error) const {
    std::string text;
    for (const auto& n : names) {
        if (!hasTablet(n)) {
            error = "no tablet named '" + n + "'";
            return false;
        }
        text += n + "\n";
    }
    return writeAtomically(adapterFile_, text, error);
}

Fault SimAdapter::fault() const {
    std::string text;
    if (readText(faultFile_, text, kFaultFileLimit) != ReadResult::Read)
        return {};
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
        text.pop_back();
    return Fault::parse(text).value_or(Fault{});
}

bool SimAdapter::setFault(const Fault& fault, std::string& error) const {
    return writeAtomically(faultFile_, fault.text() + "\n", error);
}

} // namespace onewiresim
