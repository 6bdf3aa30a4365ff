#pragma once

#include "MemoryButton.h"
#include "SimAdapter.h"

#include <memory>
#include <string>

namespace onewiresim {

// The tablet a new adapter folder holds: a DS1994 with a valid read command,
// filled by a garage controller (device 3), lying on the adapter.
class DemoTablet {
public:
    static constexpr const char* kName = "demo";

    static std::unique_ptr<MemoryButton> make(double now);
    // Makes a missing folder and lays the demo tablet when the folder holds no
    // tablet yet (missing, or made empty by the driver); false and `error`
    // when the folder cannot be written.
    static bool layOnNewFolder(const SimAdapter& adapter, std::string& error);
};

} // namespace onewiresim
