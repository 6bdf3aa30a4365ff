#pragma once

namespace onewire {

// What a 1-Wire call can fail with. The masters, the search and the access
// return a value (0 and above) or one of these; the TMEX numbers are made
// above this layer.
enum Status : int {
    kOk = 0,
    kErrPort = -1,    // the adapter failed or vanished; it may need opening again
    kErrTimeout = -2, // the adapter did not answer in time
};

} // namespace onewire
