#include "foundation/win_interfaces.hpp"

#include <atomic>
#include <climits>
#include <optional>

#include "foundation/format.hpp"
#include "foundation/log.hpp"
#include "platform/known_folders.hpp"
#include "platform/utf16.hpp"

namespace skh {

namespace {

constinit std::atomic<bool> s_appDataMissing{false};

std::u16string p3dSubKey(int version) {
    if (version == 5) return u"SOFTWARE\\Lockheed Martin\\Prepar3D v5";
    if (version == 6) return u"SOFTWARE\\Lockheed Martin\\Prepar3D v6";
    return u"";
}

}  // namespace

RegKey& RegKey::operator=(RegKey&& other) noexcept {
    if (this != &other) {
        Close();
        m_handle = other.m_handle;
        other.m_handle = 0;
    }
    return *this;
}

void RegKey::Open(platform::RegHandle root, const std::u16string& subKey, std::uint32_t access) {
    platform::RegHandle handle = 0;
    const std::uint32_t rc = platform::regOpenKey(root, subKey, access, handle);
    if (rc != platform::kErrorSuccess) throw winreg::RegException(rc, "RegOpenKeyExW failed.");
    Close();
    m_handle = handle;
}

void RegKey::Close() noexcept {
    if (m_handle != 0) {
        if (!platform::regIsPredefinedKey(m_handle)) platform::regCloseKey(m_handle);
        m_handle = 0;
    }
}

std::u16string RegKey::GetStringValue(const std::u16string& valueName) const {
    std::uint32_t size = 0;
    std::uint32_t rc = platform::regGetStringValue(m_handle, valueName, nullptr, size);
    if (rc != platform::kErrorSuccess)
        throw winreg::RegException(rc, "Cannot get size of string value: RegGetValueW failed.");
    std::u16string value(size / 2, u'\0');
    rc = platform::regGetStringValue(m_handle, valueName, value.data(), size);
    if (rc != platform::kErrorSuccess) throw winreg::RegException(rc, "Cannot get string value: RegGetValueW failed.");
    value.resize(size / 2 > 0 ? size / 2 - 1 : 0);
    return value;
}

bool gf_isP3dInstalled(int version) {
    try {
        RegKey key;
        key.Open(platform::kHkeyLocalMachine, p3dSubKey(version), KEY_READ_WOW64_64);
        return true;
    } catch (const winreg::RegException&) {
        return false;
    }
}

std::filesystem::path gf_p3dSetupPath(int version) {
    try {
        RegKey key;
        key.Open(platform::kHkeyLocalMachine, p3dSubKey(version), KEY_READ_WOW64_64);
        const std::u16string value = key.GetStringValue(u"SetupPath");
        return std::filesystem::path(gf_utf16ToUtf8(value));
    } catch (const winreg::RegException&) {
        return {};
    } catch (const win32::Utf8ConversionException& e) {
        gf_logWarning(skh::format("gf_p3dSetupPath: the SetupPath of Prepar3D v{} cannot be read: {}", version,
                                  e.what()));
        return {};
    }
}

std::filesystem::path gf_appDataFolder() {
    const std::optional<std::filesystem::path> folder = platform::roamingAppDataFolder();
    if (!folder) {
        s_appDataMissing = true;
        gf_logWarning("Could not find the AppData path");
        return {};
    }
    return *folder;
}

bool gf_appDataFolderMissing() { return s_appDataMissing.load(); }

std::overflow_error gf_inputTooLongError() {
    return std::overflow_error("Input string too long: size_t-length doesn't fit into int.");
}

std::string gf_utf16ToUtf8(const std::u16string& text) {
    using win32::Utf8ConversionException;
    if (text.empty()) return {};
    if (text.size() > static_cast<std::size_t>(INT_MAX)) throw gf_inputTooLongError();
    std::uint32_t error = 0;
    const int length = platform::utf16ToUtf8(text, nullptr, 0, error);
    if (length == 0) {
        throw Utf8ConversionException(
            error == platform::kErrorNoUnicodeTranslation
                ? "Invalid UTF-16 sequence found in input string."
                : "Cannot get result string length when converting from UTF-16 to UTF-8 (WideCharToMultiByte failed).",
            error, Utf8ConversionException::FromUtf16ToUtf8);
    }
    std::string out(static_cast<std::size_t>(length), '\0');
    if (platform::utf16ToUtf8(text, out.data(), length, error) == 0) {
        throw Utf8ConversionException(error == platform::kErrorNoUnicodeTranslation
                                          ? "Invalid UTF-16 sequence found in input string."
                                          : "Cannot convert from UTF-16 to UTF-8 (WideCharToMultiByte failed).",
                                      error, Utf8ConversionException::FromUtf16ToUtf8);
    }
    return out;
}

std::u16string gf_utf8ToUtf16(const std::string& text) {
    using win32::Utf8ConversionException;
    if (text.empty()) return {};
    if (text.size() > static_cast<std::size_t>(INT_MAX)) throw gf_inputTooLongError();
    std::uint32_t error = 0;
    const int length = platform::utf8ToUtf16(text, nullptr, 0, error);
    if (length == 0) {
        throw Utf8ConversionException(
            error == platform::kErrorNoUnicodeTranslation
                ? "Invalid UTF-8 sequence found in input string."
                : "Cannot get result string length when converting from UTF-8 to UTF-16 (MultiByteToWideChar failed).",
            error, Utf8ConversionException::FromUtf8ToUtf16);
    }
    std::u16string out(static_cast<std::size_t>(length), u'\0');
    if (platform::utf8ToUtf16(text, out.data(), length, error) == 0) {
        throw Utf8ConversionException(error == platform::kErrorNoUnicodeTranslation
                                          ? "Invalid UTF-8 sequence found in input string."
                                          : "Cannot convert from UTF-8 to UTF-16 (MultiByteToWideChar failed).",
                                      error, Utf8ConversionException::FromUtf8ToUtf16);
    }
    return out;
}

}  // namespace skh
