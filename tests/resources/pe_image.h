// Just enough of the PE file format to check what a DLL exports and imports and
// which sections and symbols it carries, read from the file's bytes (PE32 and
// PE32+ alike).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct PeImage {
    std::uint16_t machine = 0;          // 0x014C i386, 0x8664 x86-64
    std::uint16_t characteristics = 0;  // of the file header; 0x2000 marks a DLL
    std::uint16_t optionalMagic = 0;    // 0x10B PE32, 0x20B PE32+
    std::uint32_t symbolCount = 0;      // entries of the COFF symbol table
    std::vector<std::string> sectionNames;  // long names ("/4") read from the string table
    std::vector<std::string> exportNames;
    std::vector<std::string> importedDlls;
};

// Nullopt, with the reason in *error, when the bytes are not a well-formed image.
std::optional<PeImage> ReadPeImage(std::string_view bytes, std::string* error);
