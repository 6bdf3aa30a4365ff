#pragma once

#include "FileStatus.h"
#include "TabletImage.h"

#include <string>

// A tablet image kept in a file of its own: the 544 bytes a reader copies, or
// their first 512 (headers and events, without the register page), as the
// archive's saved images, the simulator's dumps and the decoder tool use them.
class TabletImageFile {
public:
    // The image of a file of exactly 512 or 544 bytes; a shorter one gets a
    // zero register page. Ok, CannotOpen, NotAnImage (any other size), ReadFailed.
    static FileStatus load(const std::string& path, TabletImage& image);
    // A file load() takes whose two header CRCs pass: what a dropped file
    // must be to open as an image rather than as a dump or a log file.
    static bool looksLikeImage(const std::string& path);
};
