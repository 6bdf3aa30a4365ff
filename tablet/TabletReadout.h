#pragma once

#include "TabletImage.h"

#include <QMetaType>

#include <array>
#include <cstdint>

// What a reader hands to the user-interface thread: a value, copied once the
// thread has finished with it.
struct TabletReadout {
    quint64 reader = 0; // which reader produced it; a stopped reader's result is stale
    std::array<int16_t, 8> romCode{};
    int16_t lastResult = -1;
    TabletImage image;

    uint8_t familyCode() const { return static_cast<uint8_t>(romCode[0]); }
};

Q_DECLARE_METATYPE(TabletReadout)
