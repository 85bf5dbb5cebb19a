#include "bridge/program/channel.h"

#include <algorithm>

namespace bridge {

std::size_t HandleSource::Read(char* buffer, std::size_t size) {
    if (start_ == end_) {
        // Large reads go straight to the caller.
        if (size >= buffer_.size()) return ReadHandle(buffer, size);
        start_ = 0;
        end_ = ReadHandle(buffer_.data(), buffer_.size());
    }
    const std::size_t count = std::min(size, end_ - start_);
    std::copy_n(buffer_.data() + start_, count, buffer);
    start_ += count;
    return count;
}

std::size_t HandleSource::ReadHandle(char* buffer, std::size_t size) {
    const DWORD asked = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 20));
    DWORD got = 0;
    if (!ReadFile(handle_, buffer, asked, &got, nullptr)) return 0;
    return got;
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
