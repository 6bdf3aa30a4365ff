#pragma once

#include <QString>

// Opens a file with the application the desktop associates with its type.
class DesktopOpener {
public:
    // False when the desktop has no way to open files.
    static bool open(const QString& path);
};
