#pragma once

#include "MemoryButton.h"
#include "Rom.h"

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace onewiresim {

// What the driver does next, set with `onewire-sim fault`. The port and setup
// faults last until cleared. remove-after=N lifts the selected tablet off the
// adapter after N data bytes (memory read, scratchpad written or read back,
// copy authorization). flip-bits=N flips one bit in each of the next N bytes
// the tablet sends (memory read or scratchpad read back); flip-bits=N@ADDR in
// the N bytes a memory read gives from address ADDR on. Both end once done.
// alarm gives the DS1994s on the adapter a pending alarm until cleared: every
// reset answers with an alarming presence, and the first one a bus sees is
// stretched by the part's interrupt pulse.
struct Fault {
    enum class Kind { None, NoPortDriver, Setup, RemoveAfter, FlipBits, Alarm };
    Kind kind = Kind::None;
    int value = 0;
    int address = -1; // flip-bits only: the first memory address, or -1

    static std::optional<Fault> parse(const std::string& text);
    std::string text() const;
};

// The simulated adapter is a folder: tablets/NAME.tablet holds each tablet,
// `adapter` names the tablets lying on the adapter (a search finds them by ROM), `fault`
// the next fault. Every file is replaced atomically, so another process may
// place and remove tablets while the driver searches.
class SimAdapter {
public:
    explicit SimAdapter(std::filesystem::path dir)
        : dir_(std::move(dir)), adapterFile_(dir_ / "adapter"), faultFile_(dir_ / "fault") {}

    // $ONEWIRE_SIM_DIR, else $XDG_DATA_HOME/velmora/onewire-sim, else
    // ~/.local/share/velmora/onewire-sim.
    static std::filesystem::path defaultDir();

    const std::filesystem::path& dir() const { return dir_; }
    bool exists() const;
    // The driver can work here: the tablets folder exists and may be read.
    bool usable() const;
    // Creates a missing folder, with no tablets; what lies on a new adapter is
    // the business of whoever lays it (onewire-sim lays its demo tablet).
    bool ensureCreated(std::string& error);
    bool create(std::string& error);

    static bool validName(const std::string& name);
    std::filesystem::path tabletPath(const std::string& name) const;
    bool hasTablet(const std::string& name) const;
    std::unique_ptr<MemoryButton> loadTablet(const std::string& name, std::string& error) const;
    bool saveTablet(const std::string& name, const MemoryButton& button, std::string& error) const;
    std::vector<std::string> tabletNames() const;

    std::vector<std::string> onAdapter() const;
    bool setOnAdapter(const std::vector<std::string>& names, std::string& error) const;

    Fault fault() const;
    bool setFault(const Fault& fault, std::string& error) const;

private:
    bool writeAtomically(const std::filesystem::path& path, const std::string& content,
                         std::string& error) const;

    std::filesystem::path dir_;
    // Read at every reset: made once, not at each read.
    std::filesystem::path adapterFile_;
    std::filesystem::path faultFile_;
};

// Host time in seconds since 1970, the clock the simulated parts run on.
double hostNow();

using onewire::makeRom;

} // namespace onewiresim
