#include "Bus.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace onewiresim {

namespace {

std::optional<FileIdentity> identityOf(const fs::path& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return std::nullopt;
    return FileIdentity{static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino),
                        static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec,
                        static_cast<int64_t>(st.st_size)};
}

} // namespace

Bus::Bus(SimAdapter adapter) : adapter_(std::move(adapter)) {}

void Bus::refresh() {
    present_.clear();
    selected_.clear();
    for (const std::string& name : adapter_.onAdapter()) {
        const auto identity = identityOf(adapter_.tabletPath(name));
        if (!identity)
            continue;
        auto it = cache_.find(name);
        if (it == cache_.end() || it->second.identity != *identity) {
            std::string error;
            auto button = adapter_.loadTablet(name, error);
            if (!button)
                continue;
            Device& d = cache_[name];
            d.name = name;
            d.button = std::move(button);
            d.identity = *identity;
            it = cache_.find(name);
        }
        if (std::find(present_.begin(), present_.end(), &it->second) == present_.end())
            present_.push_back(&it->second);
    }
}

int Bus::reset() {
    refresh();
    bitCount_ = 0;
    lastResetStretched_ = false;
    // An empty adapter reads nothing more: a fault acts on devices only.
    if (present_.empty()) {
        phase_ = Phase::Ignored;
        return 0;
    }
    phase_ = Phase::AfterReset;
    // A fault counts the bytes since it was set, across resets.
    const Fault fault = adapter_.fault();
    if (fault.text() != fault_.text())
        passed_ = sent_ = 0;
    fault_ = fault;
    if (fault_.kind != Fault::Kind::Alarm) {
        alarmSignalled_ = false;
        return 1;
    }
    const bool alarming = std::any_of(present_.begin(), present_.end(),
                                      [](const Device* d) { return d->button->hasClock(); });
    if (!alarming)
        return 1;
    // the part's interrupt pulse comes once, with the first reset it sees
    lastResetStretched_ = !alarmSignalled_;
    alarmSignalled_ = true;
    return 2;
}

void Bus::selectAll() {
    selected_ = present_;
    for (Device* d : selected_)
        d->button->select();
    phase_ = Phase::Function;
}

void Bus::save(Device& device) {
    std::string error;
    if (!adapter_.saveTablet(device.name, *device.button, error))
        return;
    if (const auto identity = identityOf(adapter_.tabletPath(device.name)))
        device.identity = *identity;
}

void Bus::removeFromAdapter(const std::string& name) {
    auto names = adapter_.onAdapter();
    names.erase(std::remove(names.begin(), names.end(), name), names.end());
    std::string error;
    adapter_.setOnAdapter(names, error);
    auto gone = [&](Device* d) { return d->name == name; };
    present_.erase(std::remove_if(present_.begin(), present_.end(), gone), present_.end());
    searching_.erase(std::remove_if(searching_.begin(), searching_.end(), gone), searching_.end());
    selected_.erase(std::remove_if(selected_.begin(), selected_.end(), gone), selected_.end());
}

uint8_t Bus::flipBits(uint8_t value, int address) {
    if (fault_.kind != Fault::Kind::FlipBits)
        return value;
    int index = 0;
    if (fault_.address < 0) {
        index = sent_++;
    } else {
        // only memory at ADDR and after; a scratchpad read has no address there
        if (address < fault_.address)
            return value;
        index = address - fault_.address;
    }
    if (index >= fault_.value)
        return value;
    value ^= static_cast<uint8_t>(1u << (index % 8));
    if (index + 1 == fault_.value) {
        std::string error;
        adapter_.setFault({}, error);
        fault_ = {};
    }
    return value;
}

uint8_t Bus::touch(uint8_t master) {
    bitCount_ = 0;
    switch (phase_) {
    case Phase::AfterReset:
        switch (master) {
        case 0x33: // Read ROM
            phase_ = Phase::ReadRom;
            romIndex_ = 0;
            break;
        case 0x55: // Match ROM
            phase_ = Phase::MatchRom;
            romIndex_ = 0;
            break;
        case 0xCC: // Skip ROM
            selectAll();
            break;
        case 0xF0: // Search ROM
            phase_ = Phase::Search;
            searching_ = present_;
            searchBit_ = 0;
            searchSlot_ = 0;
            break;
        default: // a search needs bit slots; byte access cannot take part
            phase_ = Phase::Ignored;
            break;
        }
        return master;
    case Phase::ReadRom: {
        uint8_t value = master;
        for (Device* d : present_)
            value &= d->button->rom()[static_cast<size_t>(romIndex_)];
        if (++romIndex_ == 8)
            selectAll();
        return value;
    }
    case Phase::MatchRom:
        matchRom_[static_cast<size_t>(romIndex_)] = master;
        if (++romIndex_ == 8) {
            selected_.clear();
            for (Device* d : present_)
                if (d->button->rom() == matchRom_) {
                    selected_.push_back(d);
                    d->button->select();
                }
            phase_ = Phase::Function;
        }
        return master;
    case Phase::Function: {
        if (!selected_.empty() && selected_.front()->button->inDataPhase()) {
            if (fault_.kind == Fault::Kind::RemoveAfter && passed_ >= fault_.value) {
                // the tablet is lifted off the adapter in the middle of a transaction
                std::string error;
                adapter_.setFault({}, error);
                fault_ = {};
                removeFromAdapter(selected_.front()->name);
            } else {
                ++passed_;
            }
        }
        const double now = hostNow();
        uint8_t value = master;
        for (Device* d : std::vector<Device*>(selected_)) {
            bool changed = false;
            const MemoryButton& b = *d->button;
            const int address =
                b.streamingMemory() && b.readAddress() < b.addressSpace() ? b.readAddress() : -1;
            const bool sends = b.streamingMemory() || b.readingScratchpad();
            uint8_t out = d->button->touch(master, now, changed);
            if (sends)
                out = flipBits(out, address);
            value &= out;
            if (changed)
                save(*d);
        }
        return value;
    }
    case Phase::Search: {
        uint8_t value = 0;
        for (int i = 0; i < 8; ++i)
            value |= static_cast<uint8_t>(searchSlot(master >> i & 1) << i);
        return value;
    }
    case Phase::Ignored:
        break;
    }
    return master;
}

// What the devices will drive during the next byte while the master reads.
// A button's next byte does not depend on the master's byte while it sends, so
// a copy of it is asked.
uint8_t Bus::driven() const {
    uint8_t value = 0xFF;
    switch (phase_) {
    case Phase::ReadRom:
        for (const Device* d : present_)
            value &= d->button->rom()[static_cast<size_t>(romIndex_)];
        break;
    case Phase::Function: {
        const double now = hostNow();
        for (const Device* d : selected_) {
            MemoryButton copy = *d->button;
            bool changed = false;
            value &= copy.touch(0xFF, now, changed);
        }
        break;
    }
    default:
        break;
    }
    return value;
}

bool Bus::searchSlot(bool master) {
    const auto bitOf = [this](const Device* d) {
        const auto& rom = d->button->rom();
        return (rom[static_cast<size_t>(searchBit_ / 8)] >> (searchBit_ % 8) & 1) != 0;
    };
    bool wire = master;
    switch (searchSlot_) {
    case 0: // every device sends its bit: the wire is low if one sends 0
    case 1: // then its complement
        for (const Device* d : searching_)
            wire = wire && (bitOf(d) != (searchSlot_ == 1));
        ++searchSlot_;
        return wire;
    default: // the direction: devices with the other bit drop out
        searching_.erase(std::remove_if(searching_.begin(), searching_.end(),
                                        [&](const Device* d) { return bitOf(d) != master; }),
                         searching_.end());
        searchSlot_ = 0;
        if (++searchBit_ == 64) {
            selected_ = searching_;
            for (Device* d : selected_)
                d->button->select();
            phase_ = selected_.empty() ? Phase::Ignored : Phase::Function;
        }
        return master;
    }
}

bool Bus::touchBit(bool master) {
    if (phase_ == Phase::Search)
        return searchSlot(master);
    if (bitCount_ == 0) {
        bitDriven_ = driven();
        bitMaster_ = 0;
    }
    if (master)
        bitMaster_ |= static_cast<uint8_t>(1u << bitCount_);
    const bool wire = master && (bitDriven_ >> bitCount_ & 1);
    if (++bitCount_ == 8)
        touch(bitMaster_);
    return wire;
}

} // namespace onewiresim
