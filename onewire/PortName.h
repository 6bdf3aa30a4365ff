#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace onewire {

// A 1-Wire port as users name it: `sim`, `usb`, `usb:N` (the N-th DS2490
// found, from 0), `serial:DEVICE`, or `auto` (the first DS2490, else sim).
struct PortName {
    enum class Kind { Auto, Sim, Usb, Serial };
    Kind kind = Kind::Auto;
    int index = 0;      // usb:N
    std::string device; // serial:DEVICE

    static std::optional<PortName> parse(const std::string& text);
    std::string text() const;
    bool operator==(const PortName&) const = default;

    // Where `onewire-port set` keeps the default: $XDG_CONFIG_HOME/velmora/
    // onewire-port, else ~/.config/velmora/onewire-port.
    static std::filesystem::path configFile();

    // The port in force: $ONEWIRE_PORT, else the configuration file, else auto.
    // `source` tells where it came from; an unreadable or damaged setting is an
    // error (nullopt, `error` says why), not a silent fall-back.
    static std::optional<PortName> current(std::string& source, std::string& error);
    static std::optional<PortName> readConfig(std::string& error);
    static bool writeConfig(const PortName& port, std::string& error);
};

} // namespace onewire
