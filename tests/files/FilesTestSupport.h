#pragma once

#include "ByteSink.h"
#include "EventCollection.h"
#include "ParserFactory.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <sys/resource.h>
#include <vector>

inline constexpr double kTestNow = 45292.5;

inline std::filesystem::path dataFile(const std::string& name) {
    return std::filesystem::path(TEST_DATA_DIR) / "log" / name;
}

inline std::vector<uint8_t> fileBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

inline void writeBytes(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

// Exactly `count` events of a variant, decoded from random records (records the
// variant drops are not used), as an import makes them.
inline std::unique_ptr<EventCollection> decodedList(Variant variant, int count, unsigned seed) {
    std::mt19937 rng(seed);
    const auto parser = makeParser(variant, datetime::fixedClock(kTestNow));
    std::vector<uint8_t> bytes;
    while (bytes.size() < static_cast<size_t>(count) * 4) {
        uint8_t word[4];
        for (uint8_t& b : word)
            b = static_cast<uint8_t>(rng());
        double base = 0.0;
        if (parser->decodeEvents(word, base)->count() == 1)
            bytes.insert(bytes.end(), word, word + 4);
    }
    double base = 0.0;
    return parser->decodeEvents(bytes, base);
}

// Every field a log file keeps, the time bit for bit; the raw copies too when
// the list was decoded rather than read from a file.
inline void expectSameEvents(const EventCollection& expected, const EventCollection& actual,
                             bool decoded = false) {
    ASSERT_EQ(expected.count(), actual.count());
    for (int i = 0; i < expected.count(); ++i) {
        const EventInfo& e = expected.at(i);
        const EventInfo& a = actual.at(i);
        EXPECT_EQ(a.number, e.number) << i;
        EXPECT_EQ(a.position, e.position) << i;
        EXPECT_EQ(std::memcmp(&a.time, &e.time, sizeof a.time), 0) << i;
        EXPECT_EQ(a.zeroTime, e.zeroTime) << i;
        EXPECT_EQ(a.timeState, e.timeState) << i;
        EXPECT_EQ(a.category, e.category) << i;
        EXPECT_EQ(a.codeByte, e.codeByte) << i;
        EXPECT_EQ(a.typeText, e.typeText) << i;
        EXPECT_EQ(a.infoText, e.infoText) << i;
        EXPECT_EQ(a.noteText, e.noteText) << i;
        if (decoded)
            EXPECT_EQ(a.raw, e.raw) << i;
        else
            EXPECT_FALSE(a.raw.has_value()) << i;
    }
}

// Passes the first `limit` bytes on, then refuses, as a device that fills up or
// fails mid-way.
class FailingSink : public ByteSink {
public:
    FailingSink(ByteSink& next, size_t limit) : next_(next), left_(limit) {}
    bool write(const void* data, size_t size) override {
        const size_t pass = std::min(size, left_);
        if (pass != 0 && !next_.write(data, pass))
            return false;
        left_ -= pass;
        return pass == size;
    }

private:
    ByteSink& next_;
    size_t left_;
};

// A folder of its own for each test.
class TempFolderTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_FALSE(dir_.empty()); }
    std::vector<std::string> folderContents() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(dir_))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    TempFolder folder_;
    std::filesystem::path dir_ = folder_.path();
};

// A real write failure: while it lives, the system refuses to let a file grow
// past `bytes` (the signal that would end the process is ignored).
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &saved_);
        handler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit small = saved_;
        small.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &small);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, handler_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit saved_{};
    void (*handler_)(int) = nullptr;
};
