#pragma once
// The registry keys of the Prepar3D installation, the roaming AppData folder,
// and UTF-8 <-> UTF-16 conversion with the errors of the Windows calls.
#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <system_error>

#include "platform/registry.hpp"

namespace skh {

namespace winreg {

class RegException : public std::system_error {
public:
    RegException(std::uint32_t errorCode, const std::string& message)
        : std::system_error(std::error_code(static_cast<int>(errorCode), std::system_category()), message) {}
};

}  // namespace winreg

namespace win32 {

class Utf8ConversionException : public std::runtime_error {
public:
    static constexpr std::uint32_t FromUtf8ToUtf16 = 0;
    static constexpr std::uint32_t FromUtf16ToUtf8 = 1;

    Utf8ConversionException(const std::string& message, std::uint32_t errorCode, std::uint32_t kind)
        : std::runtime_error(message), m_errorCode(errorCode), m_kind(kind) {}
    std::uint32_t ErrorCode() const { return m_errorCode; }
    std::uint32_t ConversionType() const { return m_kind; }

private:
    std::uint32_t m_errorCode;
    std::uint32_t m_kind;
};

}  // namespace win32

// Owns one open registry key; predefined root keys are never closed.
class RegKey {
public:
    RegKey() = default;
    explicit RegKey(platform::RegHandle handle) : m_handle(handle) {}
    RegKey(const RegKey&) = delete;
    RegKey& operator=(const RegKey&) = delete;
    RegKey(RegKey&& other) noexcept : m_handle(other.m_handle) { other.m_handle = 0; }
    RegKey& operator=(RegKey&& other) noexcept;
    ~RegKey() { Close(); }

    // Opens `subKey` below `root`; throws winreg::RegException "RegOpenKeyExW failed.".
    void Open(platform::RegHandle root, const std::u16string& subKey, std::uint32_t access);
    void Close() noexcept;
    platform::RegHandle Get() const { return m_handle; }
    bool IsValid() const { return m_handle != 0; }

    // The REG_SZ value `valueName`; throws winreg::RegException.
    std::u16string GetStringValue(const std::u16string& valueName) const;

private:
    platform::RegHandle m_handle = 0;
};

inline constexpr std::uint32_t KEY_READ_WOW64_64 = 0x20119;

bool gf_isP3dInstalled(int version);
std::filesystem::path gf_p3dSetupPath(int version);

// The user's roaming AppData folder, or an empty path.
std::filesystem::path gf_appDataFolder();
// True when a call of gf_appDataFolder found no folder (its warning can only
// be logged once the log is open).
bool gf_appDataFolderMissing();

std::string gf_utf16ToUtf8(const std::u16string& text);
std::u16string gf_utf8ToUtf16(const std::string& text);
std::overflow_error gf_inputTooLongError();

}  // namespace skh
