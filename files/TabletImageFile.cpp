#include "TabletImageFile.h"

#include "InputFile.h"

#include <vector>

FileStatus TabletImageFile::load(const std::string& path, TabletImage& image) {
    InputFile file;
    // a larger file is refused unread, whatever its size
    const InputFile::Status opened = file.open(path, TabletImage::kSize);
    if (opened == InputFile::Status::TooLarge)
        return FileStatus::NotAnImage;
    if (opened != InputFile::Status::Opened)
        return fileStatusOf(opened);
    if (file.size() != TabletImage::kSize && file.size() != TabletImage::kHeadersAndEvents)
        return FileStatus::NotAnImage;
    std::vector<uint8_t> bytes;
    if (!file.readAll(bytes))
        return FileStatus::ReadFailed;
    image = TabletImage(bytes);
    return FileStatus::Ok;
}

bool TabletImageFile::looksLikeImage(const std::string& path) {
    TabletImage image;
    return load(path, image) == FileStatus::Ok && image.headerValid(TabletImage::kFirstHeader) &&
           image.headerValid(TabletImage::kSecondHeader);
}
