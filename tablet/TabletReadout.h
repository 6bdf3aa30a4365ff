#pragma once

#include "BindingStatus.h"
#include "ReadOutJudgement.h"

#include <cstdint>

// What a reader hands to the user-interface thread: a value, copied once the
// thread has finished with it.
struct TabletReadout {
    uint64_t reader = 0; // which reader produced it; a stopped reader's result is stale
    // Ok, or AdapterFailure: the adapter failed during the read, and the
    // reading is not the tablet's.
    BindingStatus status = BindingStatus::Ok;
    TabletReading reading;
};
