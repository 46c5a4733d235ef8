#pragma once
// The Windows-1252 ("ANSI") code page: 8-bit text from the simulator and from
// 8-bit files is converted to UTF-8 with it. The five bytes the code page
// leaves undefined map to the C1 control of the same value, as the Windows
// conversion does.
#include <string>
#include <string_view>

namespace skh::platform {

std::string cp1252ToUtf8(std::string_view text);
// Text that is valid UTF-8 as it is; anything else read as Windows-1252
// (8-bit files and records of the simulator that name no charset).
std::string utf8OrCp1252ToUtf8(std::string_view text);

// UTF-8 to Windows-1252; a character the code page lacks becomes '?'.
std::string utf8ToCp1252(std::string_view text);

}  // namespace skh::platform
