#include "DemoTablet.h"

#include "Controller.h"
#include "ReadCommandRecord.h"

#include <algorithm>

namespace onewiresim {

std::unique_ptr<MemoryButton> DemoTablet::make(double now) {
    const auto rom = makeRom(0x04, {0x5A, 0x3C, 0x91, 0x07, 0x00, 0x00});
    auto tablet = std::make_unique<MemoryButton>(Model::DS1994, rom);
    tablet->registers()[1] = MemoryButton::kOscillator;
    tablet->setClock(static_cast<uint32_t>(now), 0, now);
    const auto command = ReadCommandRecord::build(rom, 2);
    std::copy(command.begin(), command.end(), tablet->memory().begin());
    ControllerOptions options;
    options.variant = Variant::Garage;
    options.device = 3;
    std::string error;
    touchController(*tablet, options, now, error);
    return tablet;
}

bool DemoTablet::layOnNewFolder(const SimAdapter& adapter, std::string& error) {
    SimAdapter folder(adapter.dir());
    if (!folder.ensureCreated(error))
        return false;
    if (!folder.tabletNames().empty())
        return true;
    const auto demo = make(hostNow());
    return folder.saveTablet(kName, *demo, error) && folder.setOnAdapter({kName}, error);
}

} // namespace onewiresim
