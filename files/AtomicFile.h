#pragma once

#include "ByteSink.h"

#include <functional>
#include <memory>
#include <string>

// Saving without ever destroying the previous file: the data go to a new file in
// the target's folder, which is flushed to the disk and then renamed over the
// target in one step. Until then the target is untouched; on any failure the
// temporary file is removed.
class AtomicFile {
public:
    enum class Status {
        Saved,
        CannotCreate, // no temporary file (folder missing or not writable), the
                      // target is a folder or device, or a file the user may
                      // not write (read-only); the target is untouched
        WriteFailed,  // writing, flushing or renaming failed; target untouched
    };

    explicit AtomicFile(std::string path);
    ~AtomicFile(); // removes a temporary file that was not committed
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    bool create();
    // Buffered; valid after create().
    ByteSink& sink();
    bool commit();
    void discard();
    const std::string& temporaryPath() const { return temporary_; }

    // create, `write` into the sink, commit.
    static Status save(const std::string& path, const std::function<bool(ByteSink&)>& write);

private:
    class FileSink;

    std::string path_;   // as given
    std::string target_; // symbolic links followed: the file that is replaced or
                         // created (a dangling link's target)
    std::string temporary_;
    std::unique_ptr<FileSink> sink_;
};
