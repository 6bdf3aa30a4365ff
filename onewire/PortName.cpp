#include "PortName.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <unistd.h>

namespace fs = std::filesystem;

namespace onewire {

namespace {

constexpr size_t kMaxName = 256;

bool plainText(const std::string& s) {
    for (unsigned char c : s)
        if (c < 0x20 || c == 0x7F)
            return false;
    return true;
}

} // namespace

std::optional<PortName> PortName::parse(const std::string& text) {
    PortName p;
    if (text.empty() || text.size() > kMaxName || !plainText(text))
        return std::nullopt;
    if (text == "auto")
        return p;
    if (text == "sim") {
        p.kind = Kind::Sim;
        return p;
    }
    if (text == "usb") {
        p.kind = Kind::Usb;
        return p;
    }
    if (text.rfind("usb:", 0) == 0) {
        const std::string n = text.substr(4);
        if (n.empty() || n.size() > 2 || n.find_first_not_of("0123456789") != std::string::npos)
            return std::nullopt;
        p.kind = Kind::Usb;
        p.index = std::stoi(n);
        return p.index <= 15 ? std::optional(p) : std::nullopt;
    }
    if (text.rfind("serial:", 0) == 0 && text.size() > 7) {
        p.kind = Kind::Serial;
        p.device = text.substr(7);
        return p;
    }
    return std::nullopt;
}

std::string PortName::text() const {
    switch (kind) {
    case Kind::Auto:
        return "auto";
    case Kind::Sim:
        return "sim";
    case Kind::Usb:
        return index == 0 ? "usb" : "usb:" + std::to_string(index);
    case Kind::Serial:
        return "serial:" + device;
    }
    return "auto";
}

fs::path PortName::configFile() {
    if (const char* dir = std::getenv("XDG_CONFIG_HOME"); dir && *dir)
        return fs::path(dir) / "velmora" / "onewire-port";
    const char* home = std::getenv("HOME");
    return fs::path(home && *home ? home : "/tmp") / ".config" / "velmora" / "onewire-port";
}

std::optional<PortName> PortName::readConfig(std::string& error) {
    const fs::path file = configFile();
    std::error_code ec;
    if (!fs::exists(file, ec))
        return PortName{};
    if (!fs::is_regular_file(file, ec)) {
        error = file.string() + " is not a file";
        return std::nullopt;
    }
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        error = "cannot read " + file.string();
        return std::nullopt;
    }
    // one line; a longer file is not ours
    std::string text(kMaxName + 2, '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<size_t>(in.gcount()));
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
        text.pop_back();
    auto port = parse(text);
    if (!port)
        error = file.string() + " is damaged: it does not name a port";
    return port;
}

bool PortName::writeConfig(const PortName& port, std::string& error) {
    const fs::path file = configFile();
    std::error_code ec;
    fs::create_directories(file.parent_path(), ec);
    const fs::path tmp = file.string() + ".new";
    {
        std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
        out << port.text() << "\n";
        out.close();
        if (!out) {
            error = "cannot write " + file.string() + ": " + std::strerror(errno);
            return false;
        }
    }
    fs::rename(tmp, file, ec);
    if (ec) {
        error = "cannot write " + file.string() + ": " + ec.message();
        fs::remove(tmp, ec);
        return false;
    }
    return true;
}

std::optional<PortName> PortName::current(std::string& source, std::string& error) {
    if (const char* env = std::getenv("ONEWIRE_PORT"); env && *env) {
        source = "ONEWIRE_PORT";
        auto port = parse(env);
        if (!port)
            error = std::string("ONEWIRE_PORT=") + env + " does not name a port";
        return port;
    }
    source = configFile().string();
    std::error_code ec;
    if (!fs::exists(configFile(), ec))
        source = "default";
    return readConfig(error);
}

} // namespace onewire
