#pragma once

#include <ostream>
#include <string>
#include <vector>

// The onewire-sim commands on the simulated adapter folder, for the tool and
// for the tests' fixtures, which lay their tablets without a shell.
class SimTool {
public:
    // One command line without the program name; its exit status (0 done,
    // 1 failed, 2 usage). A new folder gets the demo tablet first.
    static int run(const std::vector<std::string>& words, std::ostream& out, std::ostream& err);

private:
    static int command(const std::vector<std::string>& words);
};
