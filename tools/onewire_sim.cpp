// onewire-sim: the simulated adapter's tool; the commands live in SimTool.
#include "SimTool.h"

#include <iostream>

int main(int argc, char** argv) {
    return SimTool::run(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr);
}
