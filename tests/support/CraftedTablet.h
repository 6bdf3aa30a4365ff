#pragma once

#include "ReadCommandRecord.h"
#include "TabletImage.h"
#include "support/SimFolder.h"

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

// An image with valid checks: read command, device, time stamp 400 000 s, the
// records given newest first, the rest erased. (Only its 512 bytes are loaded:
// the tablet's own clock dates the list.)
inline TabletImage craftedImage(uint8_t device, const std::vector<uint32_t>& words) {
    TabletImage image;
    const std::array<uint8_t, 8> rom = {0x04, 0x44, 0x88, 0xCC, 0x10, 0, 0, 0};
    image.setReadCommand(ReadCommandRecord::build(rom, 2));
    image.setDeviceNumber(device);
    image.setTimeStamp(400000);
    std::fill(image.eventArea().begin(), image.eventArea().end(), 0xFF);
    for (size_t i = 0; i < words.size(); ++i)
        image.setRecord(i, words[i]);
    image.seal();
    return image;
}

class CraftedTabletTest : public SimFolderTest {
protected:
    // A tablet with exactly this memory, under the family code given.
    void craftedTablet(const std::string& name, const TabletImage& image,
                       const std::string& newArgs = "") {
        ASSERT_EQ(sim("new " + name + " " + newArgs), 0);
        const std::string file = (dir_ / (name + ".img")).string();
        std::ofstream(file, std::ios::binary)
            .write(reinterpret_cast<const char*>(image.bytes().data()), 512);
        ASSERT_EQ(sim("load " + name + " " + file), 0);
        ASSERT_EQ(sim("put " + name), 0);
    }
};
