// UTF-8 files and console output on one side, UTF-16 COM strings on the other.
#pragma once

#include <string>
#include <string_view>

namespace pagehost {

std::wstring FromUtf8(std::string_view text);
std::string ToUtf8(std::wstring_view text);

}  // namespace pagehost
