#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>

// The 544 bytes of tablet memory from address 0x000 to 0x21F: the read command
// (first header), the controller's second header, the 496-byte event area and
// the tablet's register page with its clock.
class TabletImage {
public:
    static constexpr size_t kSize = 544;
    static constexpr size_t kHeadersAndEvents = 512;
    static constexpr size_t kFirstHeader = 0;
    static constexpr size_t kFirstHeaderSize = 8;
    static constexpr size_t kSecondHeader = 8;
    static constexpr size_t kDeviceNumber = 8;
    static constexpr size_t kTimeStamp = 9;
    static constexpr size_t kEventSum = 13;
    static constexpr size_t kEventArea = 16;
    static constexpr size_t kEventAreaSize = 496;
    static constexpr size_t kClockFraction = 514;
    static constexpr size_t kClockSeconds = 515;
    static constexpr uint8_t kDeviceNumberUnset = 255;

    // One CRC-8 step (seed, byte) -> CRC; lets the read-out use the driver's TMCRC.
    using Crc8Step = std::function<uint8_t(uint8_t seed, uint8_t byte)>;

    enum class Check { Passed, FirstHeader, SecondHeader, EventSum };

    TabletImage() { bytes_.fill(0); }
    explicit TabletImage(std::span<const uint8_t> bytes);

    std::array<uint8_t, kSize>& bytes() { return bytes_; }
    const std::array<uint8_t, kSize>& bytes() const { return bytes_; }
    uint8_t operator[](size_t i) const { return bytes_[i]; }

    // CRC-8 of the seven bytes from offset (0 or 8) against the byte at offset + 7.
    bool headerValid(size_t offset, const Crc8Step& crc = {}) const;
    uint16_t eventSum() const;
    uint16_t storedEventSum() const;
    bool eventSumValid() const { return eventSum() == storedEventSum(); }
    // The three checks in the read-out's order; the first failure is reported.
    Check validate(const Crc8Step& crc = {}) const;
    // Bytes 8 to 511 (the second header and the event area) all 0x00 or all
    // 0xFF: a tablet no controller has filled.
    bool unfilled() const;

    uint8_t deviceNumber() const { return bytes_[kDeviceNumber]; }
    int32_t timeStamp() const;
    uint32_t clockSeconds() const;
    // The fraction byte and the seconds counter, as ReadClock reads them.
    std::array<uint8_t, 5> clockBytes() const;
    std::span<const uint8_t, kEventAreaSize> eventArea() const {
        return std::span<const uint8_t, kEventAreaSize>(bytes_.data() + kEventArea, kEventAreaSize);
    }

    // The writing side: the read command, the controller's fields, the clock.
    void setReadCommand(std::span<const uint8_t, kFirstHeaderSize> record);
    void setDeviceNumber(uint8_t deviceNumber) { bytes_[kDeviceNumber] = deviceNumber; }
    void setTimeStamp(int32_t seconds);
    void setClock(uint32_t seconds, uint8_t fraction = 0);
    std::span<uint8_t, kEventAreaSize> eventArea() {
        return std::span<uint8_t, kEventAreaSize>(bytes_.data() + kEventArea, kEventAreaSize);
    }
    // Record `position` of the event area (0 the newest), least significant byte first.
    void setRecord(size_t position, uint32_t word);

    // Bytes 1 to 6: the serial key of the read command.
    std::array<uint8_t, 6> serialNumber() const;
    // "Серийный номер: " and twelve hex digits of bytes 1 to 6.
    std::string serialNumberText() const;
    // "Номер устройства: " and the decimal device number, or "_" when unset.
    std::string deviceNumberText() const;

    // What a controller stores after its events: the event sum and CRC 2.
    void sealSecondHeader();
    // Both CRCs and the event sum, so that the image passes its checks.
    void seal();

private:
    std::array<uint8_t, kSize> bytes_{};
};

std::string serialNumberText(std::span<const uint8_t, 6> serial);
std::string deviceNumberText(uint8_t deviceNumber);
