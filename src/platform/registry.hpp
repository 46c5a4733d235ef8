#pragma once
// A read-only stand-in for the Windows registry. The file named by the
// environment variable SKYHAVEN_REGISTRY holds one INI section per key, named
// by its full path (for example
// [HKEY_LOCAL_MACHINE\SOFTWARE\Lockheed Martin\Prepar3D v5]), and one
// "name=value" line per string value. Key paths and value names compare
// case-insensitively. Without the file there are no keys.
#include <cstdint>
#include <string>
#include <string_view>

namespace skh::platform {

using RegHandle = std::uintptr_t;  // 0: no key

// The predefined root keys; they are never closed.
enum RootKey : RegHandle {
    kHkeyClassesRoot = 0x80000000u,
    kHkeyCurrentUser = 0x80000001u,
    kHkeyLocalMachine = 0x80000002u,
    kHkeyUsers = 0x80000003u,
    kHkeyPerformanceData = 0x80000004u,
    kHkeyCurrentConfig = 0x80000005u,
    kHkeyCurrentUserLocalSettings = 0x80000007u,
    kHkeyPerformanceText = 0x80000050u,
    kHkeyPerformanceNlsText = 0x80000060u,
};

inline constexpr std::uint32_t kErrorSuccess = 0;
inline constexpr std::uint32_t kErrorFileNotFound = 2;
inline constexpr std::uint32_t kErrorInvalidHandle = 6;
inline constexpr std::uint32_t kErrorMoreData = 234;
inline constexpr std::uint32_t kRrfRtRegSz = 2;

bool regIsPredefinedKey(RegHandle key);

// The stand-in file's path, or empty when none is named.
std::string regStandInFile();

// Opens `subKey` below `root`; returns a Win32 error code.
std::uint32_t regOpenKey(RegHandle root, std::u16string_view subKey, std::uint32_t access, RegHandle& result);

// Reads a string value in the two-call manner of the Windows call: with
// `buffer` null, `sizeBytes` receives the size in bytes including the
// terminating null; otherwise the value and its null are copied when they
// fit into `sizeBytes`.
std::uint32_t regGetStringValue(RegHandle key, std::u16string_view valueName, char16_t* buffer,
                                std::uint32_t& sizeBytes);

std::uint32_t regCloseKey(RegHandle key);

}  // namespace skh::platform
