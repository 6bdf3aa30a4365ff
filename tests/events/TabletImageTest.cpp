#include "TabletImage.h"
#include "ImageCheckMessages.h"
#include "OneWireCrc.h"
#include "ReadCommandRecord.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace {

TabletImage sealedImage() {
    TabletImage image;
    const std::array<uint8_t, 8> rom = {0x04, 0x48, 0xD1, 0x58, 0xE1, 0, 0, 0};
    image.setReadCommand(ReadCommandRecord::build(rom, 2));
    image.setDeviceNumber(3);
    image.setTimeStamp(0x061A80);
    for (size_t i = 0; i < TabletImage::kEventAreaSize; ++i)
        image.eventArea()[i] = static_cast<uint8_t>((i + TabletImage::kEventArea) * 7);
    image.seal();
    return image;
}

struct CheckRow {
    const char* name;
    std::function<void(TabletImage&)> change;
    TabletImage::Check expected;
};

TEST(TabletImage, ChecksRunInOrderAndStopAtTheFirstFailure) {
    const CheckRow rows[] = {
        {"sealed", [](TabletImage&) {}, TabletImage::Check::Passed},
        {"erased", [](TabletImage& i) { i.bytes().fill(0xFF); }, TabletImage::Check::FirstHeader},
        {"zeros", [](TabletImage& i) { i.bytes().fill(0); }, TabletImage::Check::Passed},
        {"key byte", [](TabletImage& i) { i.bytes()[2] ^= 1; }, TabletImage::Check::FirstHeader},
        {"crc 1", [](TabletImage& i) { i.bytes()[7] ^= 0x80; }, TabletImage::Check::FirstHeader},
        {"device number", [](TabletImage& i) { i.bytes()[8] = 7; },
         TabletImage::Check::SecondHeader},
        {"both headers", [](TabletImage& i) { i.bytes()[1] ^= 1, i.bytes()[8] ^= 1; },
         TabletImage::Check::FirstHeader},
        {"stamp", [](TabletImage& i) { i.bytes()[12] = 0xFF; }, TabletImage::Check::SecondHeader},
        {"event byte", [](TabletImage& i) { i.bytes()[300] ^= 0x10; },
         TabletImage::Check::EventSum},
        {"last event byte", [](TabletImage& i) { i.bytes()[511] += 1; },
         TabletImage::Check::EventSum},
        {"register page",
         [](TabletImage& i) {
             for (size_t k = 512; k < 544; ++k)
                 i.bytes()[k] = 0x5A;
         },
         TabletImage::Check::Passed},
        // swapping two event bytes keeps the sum: only the sum is checked
        {"swapped events", [](TabletImage& i) { std::swap(i.bytes()[20], i.bytes()[21]); },
         TabletImage::Check::Passed},
    };
    for (const auto& row : rows) {
        TabletImage image = sealedImage();
        row.change(image);
        EXPECT_EQ(image.validate(), row.expected) << row.name;
    }
}

// Bytes 8 to 511 each set to `value`; the read command and the register page stay.
void fillControllerPart(TabletImage& i, uint8_t value) {
    for (size_t k = 8; k < 512; ++k)
        i.bytes()[k] = value;
}

TEST(TabletImage, UnfilledWhenSecondHeaderAndEventsAreAllZeroOrAllOnes) {
    const struct {
        const char* name;
        std::function<void(TabletImage&)> change;
        bool unfilled;
    } rows[] = {
        {"sealed", [](TabletImage&) {}, false},
        {"read command and zeros", [](TabletImage& i) { fillControllerPart(i, 0x00); }, true},
        {"read command and ones", [](TabletImage& i) { fillControllerPart(i, 0xFF); }, true},
        {"all zeros", [](TabletImage& i) { i.bytes().fill(0x00); }, true},
        {"all ones", [](TabletImage& i) { i.bytes().fill(0xFF); }, true},
        {"zeros, register page set",
         [](TabletImage& i) {
             fillControllerPart(i, 0x00);
             for (size_t k = 512; k < 544; ++k)
                 i.bytes()[k] = 0x5A;
         },
         true},
        {"zeros, read command ones",
         [](TabletImage& i) {
             fillControllerPart(i, 0x00);
             for (size_t k = 0; k < 8; ++k)
                 i.bytes()[k] = 0xFF;
         },
         true},
        {"all 0x55", [](TabletImage& i) { fillControllerPart(i, 0x55); }, false},
        {"zeros but the device number",
         [](TabletImage& i) {
             fillControllerPart(i, 0x00);
             i.bytes()[8] = 7;
         },
         false},
        {"zeros but byte 511",
         [](TabletImage& i) {
             fillControllerPart(i, 0x00);
             i.bytes()[511] = 1;
         },
         false},
        {"ones but byte 8",
         [](TabletImage& i) {
             fillControllerPart(i, 0xFF);
             i.bytes()[8] = 0xFE;
         },
         false},
        {"ones but byte 300",
         [](TabletImage& i) {
             fillControllerPart(i, 0xFF);
             i.bytes()[300] = 0;
         },
         false},
        {"half zeros half ones",
         [](TabletImage& i) {
             fillControllerPart(i, 0x00);
             for (size_t k = 260; k < 512; ++k)
                 i.bytes()[k] = 0xFF;
         },
         false},
    };
    for (const auto& row : rows) {
        TabletImage image = sealedImage();
        row.change(image);
        EXPECT_EQ(image.unfilled(), row.unfilled) << row.name;
    }
}

TEST(TabletImage, EventSumWrapsAtSixteenBits) {
    TabletImage image;
    auto& b = image.bytes();
    // 274 bytes of 0xFF and one of 130: 69870 + 130 = 70000
    for (size_t i = 16; i < 16 + 274; ++i)
        b[i] = 0xFF;
    b[16 + 274] = 130;
    b[13] = 4464 & 0xFF;
    b[14] = 4464 >> 8;
    b[15] = 0;
    b[15] = [&] {
        uint8_t crc = 0;
        for (size_t i = 8; i < 15; ++i)
            crc = onewire::crc8Byte(crc, b[i]);
        return crc;
    }();
    EXPECT_EQ(image.eventSum(), 4464);
    EXPECT_EQ(image.validate(), TabletImage::Check::Passed);
}

TEST(TabletImage, HeaderCheckUsesTheCrcStepItIsGiven) {
    const TabletImage image = sealedImage();
    int calls = 0;
    const TabletImage::Crc8Step counting = [&](uint8_t seed, uint8_t byte) {
        ++calls;
        return onewire::crc8Byte(seed, byte);
    };
    EXPECT_TRUE(image.headerValid(0, counting));
    EXPECT_EQ(calls, 7);
    const TabletImage::Crc8Step broken = [](uint8_t, uint8_t) -> uint8_t { return 0x42; };
    EXPECT_FALSE(image.headerValid(0, broken));
}

TEST(TabletImage, HeaderFieldTexts) {
    TabletImage image;
    const uint8_t serial[] = {0x0A, 0x1B, 0x2C, 0x3D, 0x4E, 0x00};
    std::copy(std::begin(serial), std::end(serial), image.bytes().begin() + 1);
    EXPECT_EQ(image.serialNumberText(), "Серийный номер: 0A1B2C3D4E00");
    const std::pair<uint8_t, const char*> devices[] = {{255, "Номер устройства: _"},
                                                       {0, "Номер устройства: 0"},
                                                       {7, "Номер устройства: 7"},
                                                       {254, "Номер устройства: 254"}};
    for (const auto& [number, text] : devices) {
        image.bytes()[8] = number;
        EXPECT_EQ(image.deviceNumberText(), text);
    }
}

TEST(TabletImage, FieldsAreLittleEndianAndTheStampIsSigned) {
    TabletImage image;
    auto& b = image.bytes();
    b[9] = 0x00, b[10] = 0x00, b[11] = 0x00, b[12] = 0x80;
    b[515] = 0x00, b[516] = 0x00, b[517] = 0x00, b[518] = 0x80;
    EXPECT_EQ(image.timeStamp(), INT32_MIN);
    EXPECT_EQ(image.clockSeconds(), 0x80000000u);
}

TEST(TabletImage, WrittenFieldsLandAtTheirOffsets) {
    TabletImage image;
    image.setDeviceNumber(8);
    image.setTimeStamp(-2);
    image.setClock(0x11223344, 0x99);
    image.setRecord(0, 0xA1B2C3D4);
    image.setRecord(123, 0x01020304);
    image.setRecord(124, 0xFFFFFFFF); // past the event area: ignored
    const auto& b = image.bytes();
    EXPECT_EQ(b[8], 8);
    EXPECT_EQ((std::array<uint8_t, 4>{b[9], b[10], b[11], b[12]}),
              (std::array<uint8_t, 4>{0xFE, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(image.clockBytes(), (std::array<uint8_t, 5>{0x99, 0x44, 0x33, 0x22, 0x11}));
    EXPECT_EQ(b[514], 0x99);
    EXPECT_EQ(b[515], 0x44);
    EXPECT_EQ(b[16], 0xD4);
    EXPECT_EQ(b[19], 0xA1);
    EXPECT_EQ(b[508], 0x04);
    EXPECT_EQ(b[511], 0x01);
    EXPECT_EQ(b[512], 0x00);
    // a controller seals its own header only: the first stays as it was
    const std::array<uint8_t, 8> unsealed = {0x04, 1, 2, 3, 4, 2, 0, 0};
    image.setReadCommand(unsealed);
    image.sealSecondHeader();
    EXPECT_EQ(image.validate(), TabletImage::Check::FirstHeader);
    image.bytes()[7] = onewire::crc8(b.data(), 7);
    EXPECT_EQ(image.validate(), TabletImage::Check::Passed);
}

TEST(TabletImage, CheckMessagesAreTheReadOutTexts) {
    EXPECT_EQ(std::string(imageCheckMessage(TabletImage::Check::SecondHeader)),
              "Ошибка проверки CRC второго заголовка.\r\n Данные на таблетку не записаны или "
              "прочитаны некорректно.\r\nПопытайтесь прочитать данные еще раз");
    EXPECT_EQ(std::string(imageCheckMessage(TabletImage::Check::Passed)), "");
}

} // namespace
