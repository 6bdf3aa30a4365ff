#pragma once

#include "SimMaster.h"

#include <string>

// The simulated bus as the wire behind an adapter, able to take a tablet off
// the adapter after a given number of time slots (bits and bytes alike).
class LiftingWire : public onewire::OneWireMaster {
public:
    explicit LiftingWire(onewiresim::SimAdapter adapter) : sim_(std::move(adapter)) {}

    // `name` leaves the adapter when `slots` more slots have passed.
    void liftAfter(const std::string& name, int slots) {
        lifting_ = name;
        left_ = slots;
    }

    int reset() override { return sim_.reset(); }
    bool lastResetStretched() const { return sim_.bus().lastResetStretched(); }
    int touchByte(uint8_t byte) override {
        tick();
        return sim_.touchByte(byte);
    }
    int touchBit(bool bit) override {
        tick();
        return sim_.touchBit(bit);
    }
    std::string describe() const override { return sim_.describe(); }

private:
    void tick() {
        if (!lifting_.empty() && left_-- == 0) {
            sim_.bus().lift(lifting_);
            lifting_.clear();
        }
    }

    onewiresim::SimMaster sim_;
    std::string lifting_;
    int left_ = 0;
};
