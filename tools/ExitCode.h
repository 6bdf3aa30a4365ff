#pragma once

// The exit codes of the command-line tools, one list for the scripts that call
// them. Each tool uses the ones that apply to it.
enum ExitCode : int {
    kExitOk = 0,
    kExitFailed = 1,      // the command was understood but could not be done
    kExitUsage = 2,       // wrong command line, or an input that cannot be used
    kExitCheckFailed = 3, // velmora-decode: the image failed its checks
    kExitLogCut = 4,      // velmora-decode: the log file is empty or ends inside a block
    kExitSaveFailed = 5,  // velmora-decode: the log file could not be saved
};
