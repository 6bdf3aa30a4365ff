#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

namespace onewire {

// A serial device in raw mode, 8N1, read and written with a time limit.
class SerialLine {
public:
    SerialLine() = default;
    ~SerialLine();
    SerialLine(const SerialLine&) = delete;
    SerialLine& operator=(const SerialLine&) = delete;

    bool open(const std::string& device, std::string& error);
    void close();
    bool isOpen() const { return fd_ >= 0; }

    // All bytes written within `limit`: true; false on an error or the limit.
    bool write(const uint8_t* data, size_t length, std::chrono::milliseconds limit);
    // Exactly `length` bytes within `limit`: the count read (less on the limit),
    // or -1 on an error.
    int read(uint8_t* data, size_t length, std::chrono::milliseconds limit);
    void flushInput();
    void sendBreak();

private:
    int fd_ = -1;
};

} // namespace onewire
