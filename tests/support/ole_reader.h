#pragma once
// Streams of a compound file as an independent reader (libgsf) reads them.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The bytes of the top-level stream `name` of the compound file at `path`, or
// nothing when libgsf cannot open the file or finds no such stream.
std::optional<std::vector<std::uint8_t>> ReadOleStream(const std::string& path, const std::string& name);
