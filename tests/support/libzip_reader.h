#pragma once
// An independent ZIP reader (libzip) for checking rebuilt packages.
#include <map>
#include <string>

struct ZipContents {
    bool ok = false;                            // opened, and every entry read with its CRC right
    std::string error;
    std::map<std::string, std::string> entries; // name -> inflated data
};

ZipContents ReadWithLibzip(const std::string& path);
