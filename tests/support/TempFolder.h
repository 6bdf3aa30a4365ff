#pragma once

#include <cstdlib>
#include <filesystem>
#include <system_error>

// A fresh folder under /tmp for one test, removed with all it holds when the
// test's fixture goes (declare it before anything that lives in it).
class TempFolder {
public:
    TempFolder() {
        char pattern[] = "/tmp/velmora-test-XXXXXX";
        if (mkdtemp(pattern))
            path_ = pattern;
    }
    ~TempFolder() {
        std::error_code ec;
        if (!path_.empty())
            std::filesystem::remove_all(path_, ec);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};
