#include "pe_image.h"

#include <cstdlib>
#include <cstring>

namespace {

class Reader {
public:
    explicit Reader(std::string_view bytes) : bytes_(bytes) {}

    bool Has(std::size_t offset, std::size_t count) const {
        return offset <= bytes_.size() && count <= bytes_.size() - offset;
    }
    std::uint16_t U16(std::size_t offset) const { return static_cast<std::uint16_t>(U(offset, 2)); }
    std::uint32_t U32(std::size_t offset) const { return static_cast<std::uint32_t>(U(offset, 4)); }
    // A NUL-terminated text at offset; nullopt when it runs off the end.
    std::optional<std::string> Text(std::size_t offset) const {
        if (offset >= bytes_.size()) return std::nullopt;
        const std::size_t end = bytes_.find('\0', offset);
        if (end == std::string_view::npos) return std::nullopt;
        return std::string(bytes_.substr(offset, end - offset));
    }

private:
    std::uint64_t U(std::size_t offset, int width) const {
        std::uint64_t value = 0;
        for (int i = width - 1; i >= 0; --i) value = value << 8 | static_cast<unsigned char>(bytes_[offset + i]);
        return value;
    }
    std::string_view bytes_;
};

struct Section {
    std::uint32_t virtualAddress, virtualSize, rawSize, rawOffset;
};

std::optional<std::size_t> FileOffset(const std::vector<Section>& sections, std::uint32_t rva) {
    for (const Section& s : sections) {
        const std::uint32_t span = s.virtualSize > s.rawSize ? s.virtualSize : s.rawSize;
        if (rva >= s.virtualAddress && rva - s.virtualAddress < span) {
            if (rva - s.virtualAddress >= s.rawSize) return std::nullopt;  // not in the file
            return std::size_t{s.rawOffset} + (rva - s.virtualAddress);
        }
    }
    return std::nullopt;
}

}  // namespace

std::optional<PeImage> ReadPeImage(std::string_view bytes, std::string* error) {
    auto fail = [error](const char* why) -> std::optional<PeImage> {
        if (error != nullptr) *error = why;
        return std::nullopt;
    };
    const Reader in(bytes);
    if (!in.Has(0, 0x40) || bytes.substr(0, 2) != "MZ") return fail("no MZ header");
    const std::size_t pe = in.U32(0x3C);
    if (!in.Has(pe, 24) || bytes.substr(pe, 4) != std::string_view("PE\0\0", 4)) return fail("no PE signature");
    PeImage image;
    image.machine = in.U16(pe + 4);
    const std::uint16_t sectionCount = in.U16(pe + 6);
    const std::uint32_t symbolTable = in.U32(pe + 12);
    image.symbolCount = in.U32(pe + 16);
    const std::uint16_t optionalSize = in.U16(pe + 20);
    image.characteristics = in.U16(pe + 22);
    const std::size_t optional = pe + 24;
    if (!in.Has(optional, optionalSize) || optionalSize < 2) return fail("optional header cut off");
    image.optionalMagic = in.U16(optional);
    std::size_t directories = 0;
    if (image.optionalMagic == 0x10B) {
        directories = optional + 96;
    } else if (image.optionalMagic == 0x20B) {
        directories = optional + 112;
    } else {
        return fail("neither PE32 nor PE32+");
    }
    const std::uint32_t directoryCount = in.U32(directories - 4);
    if (directoryCount < 2 || !in.Has(directories, 16)) return fail("no export and import directories");

    std::vector<Section> sections;
    const std::size_t table = optional + optionalSize;
    if (!in.Has(table, std::size_t{sectionCount} * 40)) return fail("section table cut off");
    for (std::size_t i = 0; i < sectionCount; ++i) {
        const std::size_t s = table + i * 40;
        sections.push_back({in.U32(s + 12), in.U32(s + 8), in.U32(s + 16), in.U32(s + 20)});
        std::string name(bytes.substr(s, 8));
        name.resize(std::strlen(name.c_str()));
        if (!name.empty() && name[0] == '/') {
            // A name longer than eight characters: its offset in the string table, which
            // follows the symbol table's 18-byte entries.
            const std::size_t strings = std::size_t{symbolTable} + std::size_t{image.symbolCount} * 18;
            const auto longName = in.Text(strings + std::strtoul(name.c_str() + 1, nullptr, 10));
            if (symbolTable == 0 || !longName) return fail("long section name outside the file");
            name = *longName;
        }
        image.sectionNames.push_back(name);
    }

    const std::uint32_t exportRva = in.U32(directories);
    if (exportRva != 0) {
        const auto exports = FileOffset(sections, exportRva);
        if (!exports || !in.Has(*exports, 40)) return fail("export directory outside the file");
        const std::uint32_t nameCount = in.U32(*exports + 24);
        const auto names = FileOffset(sections, in.U32(*exports + 32));
        if (nameCount != 0 && (!names || !in.Has(*names, std::size_t{nameCount} * 4)))
            return fail("export name table outside the file");
        for (std::uint32_t i = 0; i < nameCount; ++i) {
            const auto at = FileOffset(sections, in.U32(*names + i * 4));
            const auto name = at ? in.Text(*at) : std::nullopt;
            if (!name) return fail("export name outside the file");
            image.exportNames.push_back(*name);
        }
    }

    const std::uint32_t importRva = in.U32(directories + 8);
    if (importRva != 0) {
        auto descriptor = FileOffset(sections, importRva);
        for (;; *descriptor += 20) {
            if (!descriptor || !in.Has(*descriptor, 20)) return fail("import directory outside the file");
            const std::uint32_t nameRva = in.U32(*descriptor + 12);
            if (nameRva == 0) break;  // the all-zero descriptor ends the table
            const auto at = FileOffset(sections, nameRva);
            const auto name = at ? in.Text(*at) : std::nullopt;
            if (!name) return fail("imported DLL name outside the file");
            image.importedDlls.push_back(*name);
        }
    }
    return image;
}
