#pragma once

// How a call of the program's TMEX binding ended. The TMEX results themselves
// stay inside the binding; everything above it sees one of these.
enum class BindingStatus {
    Ok,
    LibraryFailure, // the library does not load, or an entry point it calls is missing
    DriverFailure,  // no driver for the default port's type
    SetupFailure,   // TMSetup gave neither 1 nor 2
    NoDevice,       // the device did not answer
    Unstable,       // the clock did not read the same twice
    AdapterFailure, // the adapter answered a byte, ROM or reset call with an error
    WriteFailed,    // the read command was not written, or did not read back as written
};
