#include "TabletImage.h"

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
    return static_cast<uint16_t>(bytes_[kEventSum] | bytes_[kEventSum + 1] << 8);
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

int32_t TabletImage::timeStamp() const {
    const uint32_t v = bytes_[kTimeStamp] | bytes_[kTimeStamp + 1] << 8 |
                       bytes_[kTimeStamp + 2] << 16 |
                       static_cast<uint32_t>(bytes_[kTimeStamp + 3]) << 24;
    return static_cast<int32_t>(v);
}

uint32_t TabletImage::clockSeconds() const {
    return bytes_[kClockSeconds] | bytes_[kClockSeconds + 1] << 8 |
           bytes_[kClockSeconds + 2] << 16 | static_cast<uint32_t>(bytes_[kClockSeconds + 3]) << 24;
}

std::string TabletImage::serialNumberText() const {
    return ::serialNumberText(std::span<const uint8_t, 6>(bytes_.data() + 1, 6));
}

std::string TabletImage::deviceNumberText() const {
    return ::deviceNumberText(deviceNumber());
}

void TabletImage::seal() {
    const uint16_t sum = eventSum();
    bytes_[kEventSum] = static_cast<uint8_t>(sum);
    bytes_[kEventSum + 1] = static_cast<uint8_t>(sum >> 8);
    bytes_[kFirstHeader + 7] = onewire::crc8(bytes_.data() + kFirstHeader, 7);
    bytes_[kSecondHeader + 7] = onewire::crc8(bytes_.data() + kSecondHeader, 7);
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
