#include "TabletImage.h"

#include "LittleEndian.h"
#include "OneWireCrc.h"

#include <algorithm>
#include <cstdio>

TabletImage::TabletImage(std::span<const uint8_t> bytes) {
    bytes_.fill(0);
    std::copy_n(bytes.begin(), std::min(bytes.size(), kSize), bytes_.begin());
}

bool TabletImage::headerValid(size_t offset, const Crc8Step& crc) const {
    if (offset + 8 > kSize)
        return false;
    uint8_t value = 0;
    for (size_t i = offset; i < offset + 7; ++i)
        value = crc ? crc(value, bytes_[i]) : onewire::crc8Byte(value, bytes_[i]);
    return value == bytes_[offset + 7];
}

uint16_t TabletImage::eventSum() const {
    uint16_t sum = 0;
    for (size_t i = kEventArea; i < kEventArea + kEventAreaSize; ++i)
        sum = static_cast<uint16_t>(sum + bytes_[i]);
    return sum;
}

uint16_t TabletImage::storedEventSum() const {
    return le::read16(bytes_.data() + kEventSum);
}

TabletImage::Check TabletImage::validate(const Crc8Step& crc) const {
    if (!headerValid(kFirstHeader, crc))
        return Check::FirstHeader;
    if (!headerValid(kSecondHeader, crc))
        return Check::SecondHeader;
    if (!eventSumValid())
        return Check::EventSum;
    return Check::Passed;
}

bool TabletImage::unfilled() const {
    const auto begin = bytes_.begin() + kSecondHeader;
    const auto end = bytes_.begin() + kHeadersAndEvents;
    const uint8_t first = *begin;
    return (first == 0x00 || first == 0xFF) &&
           std::all_of(begin, end, [first](uint8_t b) { return b == first; });
}

int32_t TabletImage::timeStamp() const {
    return static_cast<int32_t>(le::read32(bytes_.data() + kTimeStamp));
}

uint32_t TabletImage::clockSeconds() const {
    return le::read32(bytes_.data() + kClockSeconds);
}

std::array<uint8_t, 5> TabletImage::clockBytes() const {
    std::array<uint8_t, 5> clock{};
    std::copy_n(bytes_.begin() + kClockFraction, clock.size(), clock.begin());
    return clock;
}

void TabletImage::setReadCommand(std::span<const uint8_t, kFirstHeaderSize> record) {
    std::copy(record.begin(), record.end(), bytes_.begin() + kFirstHeader);
}

void TabletImage::setTimeStamp(int32_t seconds) {
    le::write32(bytes_.data() + kTimeStamp, static_cast<uint32_t>(seconds));
}

void TabletImage::setClock(uint32_t seconds, uint8_t fraction) {
    bytes_[kClockFraction] = fraction;
    le::write32(bytes_.data() + kClockSeconds, seconds);
}

void TabletImage::setRecord(size_t position, uint32_t word) {
    if (position < kEventAreaSize / 4)
        le::write32(bytes_.data() + kEventArea + 4 * position, word);
}

std::array<uint8_t, 6> TabletImage::serialNumber() const {
    std::array<uint8_t, 6> serial{};
    std::copy_n(bytes_.begin() + 1, serial.size(), serial.begin());
    return serial;
}

std::string TabletImage::serialNumberText() const {
    const std::array<uint8_t, 6> serial = serialNumber();
    return ::serialNumberText(serial);
}

std::string TabletImage::deviceNumberText() const {
    return ::deviceNumberText(deviceNumber());
}

void TabletImage::sealSecondHeader() {
    le::write16(bytes_.data() + kEventSum, eventSum());
    bytes_[kSecondHeader + 7] = onewire::crc8(bytes_.data() + kSecondHeader, 7);
}

void TabletImage::seal() {
    bytes_[kFirstHeader + 7] = onewire::crc8(bytes_.data() + kFirstHeader, 7);
    sealSecondHeader();
}

std::string serialNumberText(std::span<const uint8_t, 6> serial) {
    std::string text = "Серийный номер: ";
    for (uint8_t b : serial) {
        char hex[4];
        std::snprintf(hex, sizeof hex, "%.2X", b);
        text += hex;
    }
    return text;
}

std::string deviceNumberText(uint8_t deviceNumber) {
    if (deviceNumber == TabletImage::kDeviceNumberUnset)
        return "Номер устройства: _";
    return "Номер устройства: " + std::to_string(deviceNumber);
}
