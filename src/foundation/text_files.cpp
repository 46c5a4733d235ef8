#include "foundation/text_files.hpp"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <gsl/narrow>
#include <sstream>
#include <system_error>
#include <thread>

#include "foundation/constants.hpp"
#include "foundation/errors.hpp"
#include "foundation/format.hpp"
#include "foundation/log.hpp"
#include "foundation/text.hpp"
#include "foundation/upcalls.hpp"
#include "foundation/win_interfaces.hpp"
#include "platform/file_sync.hpp"
#include "platform/utf16.hpp"

namespace skh {

namespace fs = std::filesystem;

namespace {

constexpr const char* kCharsetNames[] = {"ANSI",          "Unicode",          "Unicode_big_endian",
                                         "UTF8_with_BOM", "UTF8_without_BOM", "none_found"};

bool readWholeFile(const fs::path& path, std::string& bytes) {
    const int error = platform::readFile(path, bytes);
    errno = error;
    return error == 0;
}

// Splits text into lines at '\n'; with stripCr one '\r' before it goes too.
// A last line without a line end counts, an empty rest after the last line
// end does not.
template <class Text>
void splitLines(Text text, std::vector<std::string>& lines, bool stripCr) {
    lines.reserve(lines.size() + static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) + 1);
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        const bool last = end == Text::npos;
        if (last) end = text.size();
        std::size_t len = end - start;
        if (stripCr && len > 0 && text[start + len - 1] == '\r') --len;
        lines.emplace_back(text.substr(start, len));
        if (last) break;
        start = end + 1;
    }
}

void splitNarrowLines(std::string_view bytes, std::vector<std::string>& lines) { splitLines(bytes, lines, true); }

bool validUtf8Prefix(const unsigned char* p, std::size_t n) {
    std::size_t i = 0;
    while (i < n) {
        const unsigned char b = p[i];
        std::size_t len = 0;
        if (b < 0x80) {
            len = 1;
        } else if ((b & 0xE0) == 0xC0) {
            len = 2;
        } else if ((b & 0xF0) == 0xE0) {
            len = 3;
        } else if ((b & 0xF8) == 0xF0) {
            len = 4;
        } else {
            return false;  // continuation byte in lead position, or 11111xxx
        }
        if (i + len > n) return false;
        for (std::size_t k = 1; k < len; ++k) {
            if ((p[i + k] & 0xC0) != 0x80) return false;
        }
        i += len;
    }
    return true;
}

}  // namespace

const char* gf_charsetName(std::int32_t charset) {
    return (charset >= 0 && charset <= 5) ? kCharsetNames[charset] : "???";
}

std::int32_t gf_detectCharset(const fs::path& path) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) {
        gf_logRaw(skh::format("Cannot open file {} for character encoding. Win32 error: {}", path.string(),
                              static_cast<unsigned>(errno == ENOENT ? 2 : 5)));
        return CharsetNoneFound;
    }
    unsigned char head[1027];
    const std::size_t n = std::fread(head, 1, sizeof(head), f);
    const bool failed = std::ferror(f) != 0;
    std::fclose(f);
    if (failed || n < 2) return CharsetNoneFound;
    if (n >= 3 && head[0] == 0xEF && head[1] == 0xBB && head[2] == 0xBF) return CharsetUtf8WithBom;
    if (head[0] == 0xFF && head[1] == 0xFE) return CharsetUnicode;
    if (head[0] == 0xFE && head[1] == 0xFF) return CharsetUnicodeBigEndian;
    return validUtf8Prefix(head, n) ? CharsetUtf8WithoutBom : CharsetAnsi;
}

void gf_readUtf16Lines(std::u16string_view text, std::vector<std::string>& lines) {
    std::string utf8;
    utf8.reserve(text.size() + text.size() / 8);
    std::uint32_t error = 0;
    const std::size_t converted = platform::utf16ToUtf8Append(text, utf8, error);
    if (converted == text.size()) {
        splitLines(std::string_view(utf8), lines, false);
        return;
    }
    // Keep the whole lines before the bad unit, then fail as the converter does.
    const auto lastBreak = utf8.rfind('\n');
    if (lastBreak != std::string::npos) splitLines(std::string_view(utf8).substr(0, lastBreak + 1), lines, false);
    throw win32::Utf8ConversionException("Invalid UTF-16 sequence found in input string.", error,
                                         win32::Utf8ConversionException::FromUtf16ToUtf8);
}

bool gf_readTextFileLines(std::int32_t charset, const fs::path& path, std::vector<std::string>& lines) {
    try {
        if (charset < CharsetAnsi || charset > CharsetUtf8WithoutBom) {
            throw std::runtime_error(
                skh::format("file {} has unknown charset: {}", path.string(), gf_charsetName(charset)));
        }
        std::string bytes;
        if (!readWholeFile(path, bytes)) return false;
        if (charset == CharsetUnicode || charset == CharsetUnicodeBigEndian) {
            const bool bigEndian = charset == CharsetUnicodeBigEndian;
            std::size_t offset = 2;  // the byte-order mark
            if (bytes.size() < 2) offset = bytes.size();
            if ((bytes.size() - offset) % 2 != 0) {
                gf_logWarning(
                    skh::format("{}: odd number of bytes in a UTF-16 file, the last byte is ignored", path.string()));
            }
            std::u16string text((bytes.size() - offset) / 2, u'\0');
            std::memcpy(text.data(), bytes.data() + offset, text.size() * 2);
            bytes = std::string();  // the copy above holds the text now
            if (bigEndian != (std::endian::native == std::endian::big)) {
                for (char16_t& c : text) c = static_cast<char16_t>((c << 8) | (c >> 8));
            }
            gf_readUtf16Lines(text, lines);
            return true;
        }
        std::string_view view(bytes);
        if (charset == CharsetUtf8WithBom && view.size() >= 3) view.remove_prefix(3);
        if (charset == CharsetUtf8WithBom && view.empty()) {
            lines.emplace_back();  // a file of the mark alone is one empty line
            return true;
        }
        splitNarrowLines(view, lines);
        return true;
    } catch (const win32::Utf8ConversionException& e) {
        gf_setStatusMessage(skh::format("conversion from error from utf16 to utf8, code: {}", e.ErrorCode()), true);
        return false;
    } catch (const std::runtime_error& e) {
        gf_setStatusMessage(std::string("conversion from error from utf16 to utf8: ") + e.what(), true);
        return false;
    }
}

bool gf_readExtTextFileToStringVector(const fs::path& path, std::vector<std::string>& lines) {
    try {
        const std::int32_t charset = gf_detectCharset(path);
        if (charset == CharsetNoneFound) return false;
        return gf_readTextFileLines(charset, path, lines);
    } catch (const std::exception& e) {
        gf_logRaw(skh::format("gf_readExtTextFileToStringVector {}", e.what()));
        return false;
    }
}

std::vector<std::string>& gf_readLines(LinesFile& file, std::size_t reserve) {
    file.lines.clear();
    file.lines.reserve(reserve);
    std::string bytes;
    if (readWholeFile(file.path, bytes)) splitNarrowLines(bytes, file.lines);
    return file.lines;
}

bool gf_writeTextFile(const std::string& text, const fs::path& path) {
    std::ofstream out(path, std::ios::out | std::ios::trunc);
    if (!out.is_open()) return false;
    out << text << '\n';
    out.flush();
    return static_cast<bool>(out);
}

fs::path gf_temporaryPathBeside(const fs::path& target, std::string_view suffix) {
    static std::atomic<unsigned> counter{0};
    return target.string() + skh::format(".{}-{}{}", std::hash<std::thread::id>{}(std::this_thread::get_id()) % 100000,
                                         counter.fetch_add(1), suffix);
}

fs::path gf_backupPath(const fs::path& path) {
    std::string text = path.string();
    const auto dot = text.rfind('.');
    text.insert(dot == std::string::npos ? text.size() : dot, 1, '0');
    return text;
}

bool gf_writeFileAtomically(const fs::path& path, std::string_view bytes) {
    std::string problem;
    if (gf_writeFileAtomically(path, bytes, problem)) return true;
    // The callers only say that the save failed; the reason is here.
    gf_logRaw(skh::format("Writing '{}' failed: {}", path.string(), problem));
    return false;
}

int gf_writeNewFile(const fs::path& file, std::string_view bytes, bool* created) {
    std::FILE* f = std::fopen(file.c_str(), "wb");
    if (created != nullptr) *created = f != nullptr;
    if (f == nullptr) return errno != 0 ? errno : EIO;
    // On the disk before the rename: a power cut then leaves the old file or
    // the new one, never an empty one.
    int failure = 0;
    if (std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size() || std::fflush(f) != 0) {
        failure = errno != 0 ? errno : EIO;
    } else {
        failure = platform::syncFile(f);
    }
    if (std::fclose(f) != 0 && failure == 0) failure = errno != 0 ? errno : EIO;
    if (failure != 0) {
        std::error_code ec;
        fs::remove(file, ec);
    }
    return failure;
}

fs::path gf_writeFileBeside(const fs::path& path, std::string_view bytes, std::string& problem, int* error) {
    const fs::path temp = gf_temporaryPathBeside(path, ".tmp");
    bool created = false;
    if (const int failure = gf_writeNewFile(temp, bytes, &created); failure != 0) {
        if (error != nullptr) *error = failure;
        problem = skh::format("cannot {} {}: {}", created ? "write" : "create", temp.string(),
                              std::generic_category().message(failure));
        return {};
    }
    return temp;
}

bool gf_replaceWith(const fs::path& beside, const fs::path& path, std::string& problem, int* error) {
    if (const int failure = platform::renameFile(beside, path); failure != 0) {
        if (error != nullptr) *error = failure;
        problem = skh::format("cannot replace it: {}", std::generic_category().message(failure));
        std::error_code ec;
        fs::remove(beside, ec);
        return false;
    }
    // Makes the rename itself durable; the file is in place either way, so a
    // folder that cannot be synced does not fail the save.
    platform::syncFolder(path.parent_path());
    return true;
}

bool gf_writeFileAtomically(const fs::path& path, std::string_view bytes, std::string& problem, int* error) {
    const fs::path temp = gf_writeFileBeside(path, bytes, problem, error);
    return !temp.empty() && gf_replaceWith(temp, path, problem, error);
}

bool gf_copyFileAtomically(const fs::path& from, const fs::path& to, std::string& problem, int* error) {
    std::string bytes;
    if (const int failure = platform::readFile(from, bytes); failure != 0) {
        if (error != nullptr) *error = failure;
        problem = skh::format("cannot read {}: {}", from.string(), std::generic_category().message(failure));
        return false;
    }
    return gf_writeFileAtomically(to, bytes, problem, error);
}

std::string gf_temporaryTarget(std::string_view name, std::string_view suffix) {
    // target + ".<digits>-<digits>" + suffix, as gf_temporaryPathBeside makes them.
    if (!name.ends_with(suffix)) return {};
    name.remove_suffix(suffix.size());
    const auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
    std::size_t i = name.size();
    const auto digitsBefore = [&] {
        const std::size_t end = i;
        while (i > 0 && isDigit(name[i - 1])) --i;
        return i < end;
    };
    if (!digitsBefore() || i == 0 || name[--i] != '-' || !digitsBefore() || i < 2 || name[--i] != '.') return {};
    return std::string(name.substr(0, i));
}

bool gf_saveXml(const pugi::xml_document& doc, const fs::path& path) {
    std::ostringstream out;
    doc.save(out);
    const bool ok = gf_writeFileAtomically(path, out.str());
    gf_logRaw(ok ? skh::format("'{}' saved", path.string()) : skh::format("could not save to '{}'", path.string()));
    return ok;
}

std::string gf_extractPath(std::string_view text) {
    constexpr std::string_view open = "<Path>";
    constexpr std::string_view close = "</Path>";
    const auto a = text.find(open);
    const auto b = text.find(close);
    if (a == std::string_view::npos || b == std::string_view::npos || b < a + open.size()) return {};
    return std::string(text.substr(a + open.size(), b - a - open.size()));
}

void gf_cleanFolder(const fs::path& folder) {
    gf_logRaw(skh::format("Cleaning folder: {}", folder.string()));
    try {
        if (!fs::exists(folder) || !fs::is_directory(folder)) return;
        for (const auto& entry : fs::directory_iterator(folder)) fs::remove(entry.path());
    } catch (const fs::filesystem_error& e) {
        throw UserErrorException(5, skh::format("Filesystem error: {}", e.what()));
    } catch (const std::exception& e) {
        throw UserErrorException(5, e.what());
    }
}

std::uint64_t gf_countFolderEntries(const fs::path& folder) {
    std::error_code ec;
    if (!fs::is_directory(folder, ec)) return 0;
    std::uint64_t n = 0;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) ++n;
    return n;
}

std::vector<std::string> gf_listXmlFiles(const fs::path& folder) {
    std::vector<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code typeEc;
        if (!it->is_regular_file(typeEc)) continue;
        if (gf_upper(it->path().extension().string()) == ".XML") names.push_back(it->path().stem().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::uint64_t gf_hours2bitset(const std::string& text) {
    std::uint64_t bits = 0;
    if (text.empty()) return bits;
    std::size_t start = 0;
    while (true) {
        const auto comma = text.find(',', start);
        const std::string_view piece =
            std::string_view(text).substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        std::int32_t value = 0;
        const auto [ptr, ec] = std::from_chars(piece.data(), piece.data() + piece.size(), value, 10);
        if (ec != std::errc() || value < 0 || value > 47) {
            gf_logWarning(skh::format("{} invalid hour '{}' in {}", "gf_hours2bitset", piece, text));
        } else {
            bits |= std::uint64_t{1} << value;
        }
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    return bits;
}

std::string gf_joinList(std::uint64_t halfHours) {
    // At most 48 numbers of two digits and their commas.
    char text[48 * 3];
    char* end = text;
    for (int slot = 0; slot < 48; ++slot) {
        if ((halfHours & (std::uint64_t{1} << slot)) == 0) continue;
        if (end != text) *end++ = ',';
        end = std::to_chars(end, text + sizeof text, slot).ptr;
    }
    return std::string(text, end);
}

void gf_normaliseList(std::string& text) {
    if (text.find_first_of(" \t\n\r") == std::string::npos) return;
    text = gf_joinComma(gf_split(text, ','));
}

bool gf_equalsUpper(std::string_view reference, std::string_view text) {
    if (reference.size() != text.size()) return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (gf_toUpper(text[i]) != reference[i]) return false;
    }
    return true;
}

std::int32_t gf_percent(std::int64_t part, std::int64_t total) {
    if (total < 1) return 0;
    return gsl::narrow<std::int32_t>(std::llround(static_cast<double>(part) * 100.0 / static_cast<double>(total)));
}

std::string gf_markedText(int width, int extra, bool leadingBreak, bool trailingBreak, std::string_view title) {
    std::string out = leadingBreak ? "\n" : "";
    int n = width + extra;
    if (n % 2 != 0) ++n;
    if (n < 0) n = 0;
    if (title.empty()) {
        out.append(static_cast<std::size_t>(n), '*');
    } else if (static_cast<long>(title.size()) < n - 2) {
        const auto half = static_cast<std::size_t>(n / 2 - 1);
        out.append(half, '*');
        out += ' ';
        out += title;
        out += ' ';
        out.append(half, '*');
    } else {
        out += title;
    }
    if (trailingBreak) out += '\n';
    return out;
}

std::list<std::string> gf_regexSplit(const std::string& text) {
    std::list<std::string> tokens;
    std::size_t start = 0;
    while (start < text.size()) {
        const auto comma = text.find(',', start);
        if (comma == std::string::npos) {
            tokens.push_back(gf_trim(std::string_view(text).substr(start)));
            break;
        }
        tokens.push_back(gf_trim(std::string_view(text).substr(start, comma - start)));
        start = comma + 1;
    }
    tokens.sort();
    tokens.unique();
    return tokens;
}

std::string gf_attrString(const pugi::xml_node& node, const char* name) {
    if (!node) return g_emptyString;
    const pugi::xml_attribute attr = node.attribute(name);
    if (!attr) return g_emptyString;
    return attr.value();
}

}  // namespace skh
