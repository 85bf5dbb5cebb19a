#include "bridge/program/channel.h"

#include <algorithm>

namespace bridge {

std::size_t HandleSource::Read(char* buffer, std::size_t size) {
    const DWORD asked = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 20));
    // A pipe ends with a broken-pipe failure; an empty read from one is only a
    // writer's empty write, and reading goes on. From a file, it is the end.
    const bool pipe = GetFileType(handle_) == FILE_TYPE_PIPE;
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(handle_, buffer, asked, &got, nullptr)) return 0;
        if (got > 0 || !pipe || asked == 0) return got;
    }
}

bool WriteAll(HANDLE handle, std::string_view bytes) {
    while (!bytes.empty()) {
        DWORD written = 0;
        const DWORD part = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 20));
        if (!WriteFile(handle, bytes.data(), part, &written, nullptr) || written == 0) return false;
        bytes.remove_prefix(written);
    }
    return true;
}

}  // namespace bridge
