#include "airports/stand_locations.hpp"

#include <algorithm>
#include <fstream>
#include <system_error>

#include "airports/stand_file.hpp"
#include "foundation/constants.hpp"
#include "foundation/format.hpp"
#include "foundation/hash.hpp"
#include "foundation/log.hpp"
#include "foundation/text.hpp"
#include "foundation/text_files.hpp"
#include "platform/utf16.hpp"
#include "platform/win_path.hpp"

namespace skh {

namespace fs = std::filesystem;

DownloadLimits g_standDownloadLimits{std::chrono::milliseconds(5000), 256, std::chrono::seconds(5),
                                     std::chrono::milliseconds(20000)};

namespace {

constexpr std::size_t kMaxReferenceBytes = 512;
constexpr std::size_t kMaxFolderNameBytes = 128;
constexpr std::string_view kLearnedText = "airports\\learned";

// Answers of the stock probe in this run (main loop only).
struct StockProbe {
    bool available = false;
    bool lasting = false;  // an answer that holds for the whole run
    std::chrono::steady_clock::time_point askedAt;
};
TextMap<StockProbe> g_stockProbes;
StockProbeClock g_stockProbeClock;  // empty: the steady clock

std::chrono::steady_clock::time_point lf_probeNow() {
    return g_stockProbeClock ? g_stockProbeClock() : std::chrono::steady_clock::now();
}

// The server's word that it has no such file stays true for the run; any
// other failure (no answer, a time-out, a server error) may pass.
bool lf_isLastingAnswer(long httpStatus) { return httpStatus == 404 || httpStatus == 410; }

bool lf_isControl(char c) {
    const auto u = static_cast<unsigned char>(c);
    return u < 0x20 || u == 0x7F;
}

// One folder or file name that names nothing but itself on Windows and here.
bool lf_isSafeName(std::string_view name) {
    if (name.empty() || name.size() > kMaxFolderNameBytes || name == "." || gf_contains(name, "..")) return false;
    if (name.front() == ' ' || name.back() == ' ' || name.back() == '.' || !platform::isValidUtf8(name)) return false;
    return std::none_of(name.begin(), name.end(), [](char c) {
        return lf_isControl(c) || std::string_view("/\\:<>\"|?*").find(c) != std::string_view::npos;
    });
}

void lf_replaceFirst(std::string& text, std::string_view from, std::string_view to) {
    const auto pos = text.find(from);
    if (pos != std::string::npos) text.replace(pos, from.size(), to);
}

void lf_replaceAll(std::string& text, std::string_view from, std::string_view to) {
    std::string out;
    std::size_t start = 0;
    for (auto pos = text.find(from); pos != std::string::npos; pos = text.find(from, start)) {
        out.append(text, start, pos - start).append(to);
        start = pos + from.size();
    }
    text = out.append(text, start);
}

bool lf_exists(std::string_view shown) {
    std::error_code ec;
    return fs::exists(gf_localPath(shown), ec);
}

std::string lf_localReference(const fs::path& folder, const std::string& fileName) {
    std::string text = (folder / fileName).string();
    std::replace(text.begin(), text.end(), '/', '\\');
    return text;
}

// Every name of a learned path made from a server reference must be safe,
// now that "%20" became blanks.
bool lf_isSafeShownPath(std::string_view shown) {
    std::size_t start = 0;
    while (true) {
        const auto end = shown.find('\\', start);
        if (!lf_isSafeName(shown.substr(start, end == std::string_view::npos ? end : end - start))) return false;
        if (end == std::string_view::npos) return true;
        start = end + 1;
    }
}

// The learned path that a reference maps to by its text: "archive" becomes
// the learned folder, "/" "\\" and "%20" a blank; a local file's folder
// my_thirdparty becomes thirdparty\\<publisher>. "" when unsafe.
std::string lf_mappedLearnedPath(const std::string& reference, const std::string& publisher) {
    if (gf_contains(reference, "archive")) {
        std::string text = reference;
        lf_replaceFirst(text, "archive", kLearnedText);
        lf_replaceAll(text, "/", "\\");
        lf_replaceAll(text, "%20", " ");
        return lf_isSafeShownPath(text) ? text : "";
    }
    if (reference.rfind("airports", 0) != 0) return reference;
    const auto name = gf_publisherFolderName(publisher);
    if (!name) return {};
    std::string text = reference;
    lf_replaceFirst(text, "airports", kLearnedText);
    const std::string thirdparty = name->empty() ? "thirdparty" : "thirdparty\\" + *name;
    if (gf_contains(text, "my_thirdparty2024")) {
        lf_replaceFirst(text, "my_thirdparty2024", thirdparty);
    } else {
        lf_replaceFirst(text, "my_thirdparty", thirdparty);
    }
    return text;
}

// Downloads `url` into `localPath` when the answer is a stand file; the
// server's HTTP status (0: no answer) goes to `httpStatus` when asked for.
bool lf_downloadStandFile(const std::string& url, const fs::path& localPath, long* httpStatus = nullptr) {
    const CurlHandle handle(curl_easy_init());
    const bool ok = gf_downloadToFile(handle.get(), url, localPath, false, gf_isStandFile, g_standDownloadLimits);
    if (httpStatus != nullptr) {
        *httpStatus = 0;
        if (handle) curl_easy_getinfo(handle.get(), CURLINFO_RESPONSE_CODE, httpStatus);
    }
    return ok;
}

}  // namespace

std::string lf_xmlFileName(std::string_view code) { return std::string(code) + ".xml"; }

bool gf_isSafeAirportCode(std::string_view code) {
    return !code.empty() && code.size() <= 16 &&
           std::all_of(code.begin(), code.end(), [](char c) { return gf_isAsciiAlnum(c) || c == '-' || c == '_'; });
}

bool gf_isSafeReference(std::string_view reference) {
    if (reference.empty() || reference.size() > kMaxReferenceBytes || !platform::isValidUtf8(reference)) return false;
    if (reference.front() == '/' || reference.front() == '\\' || gf_contains(reference, "..")) return false;
    if (std::any_of(reference.begin(), reference.end(), [](char c) { return lf_isControl(c) || c == ':'; })) {
        return false;
    }
    std::size_t start = 0;
    while (true) {
        const auto end = reference.find_first_of("/\\", start);
        const auto segment = reference.substr(start, end == std::string_view::npos ? end : end - start);
        if (segment.empty() || segment == ".") return false;
        if (end == std::string_view::npos) return true;
        start = end + 1;
    }
}

std::optional<std::string> gf_publisherFolderName(std::string_view publisher) {
    if (publisher.empty()) return std::string();
    if (!lf_isSafeName(publisher)) return std::nullopt;
    return std::string(publisher);
}

fs::path gf_localPath(std::string_view reference) { return platform::mapWindowsPath(reference); }

bool lf_readLinkFile(const fs::path& path, std::string& reference) {
    if (!fs::exists(path)) return false;
    // Only the head of the file is read: a reference is short.
    std::ifstream in(path, std::ios::binary);
    std::string line(kMaxReferenceBytes + 64, '\0');
    in.read(line.data(), static_cast<std::streamsize>(line.size()));
    line.resize(static_cast<std::size_t>(std::max<std::streamsize>(in.gcount(), 0)));
    line.resize(std::min(line.size(), line.find('\n')));
    if (line.rfind("\xEF\xBB\xBF", 0) == 0) line.erase(0, 3);
    line = gf_trim(line);
    if (line.size() < 4) return false;
    const auto xml = line.rfind(".xml");
    if (xml == std::string::npos) return false;
    line.resize(xml + 4);
    if (!gf_isSafeReference(line)) {
        gf_logWarning(skh::format("link file {} names no valid file: '{}'", path.string(), gf_shownText(line)));
        return false;
    }
    reference = std::move(line);
    return true;
}

void gf_clearStockProbes() { g_stockProbes.clear(); }

void gf_setStockProbeClock(StockProbeClock clock) { g_stockProbeClock = std::move(clock); }

bool lf_stockAirportAvailable(const std::string& code) {
    if (!gf_isSafeAirportCode(code)) return false;
    const auto now = lf_probeNow();
    if (const auto it = g_stockProbes.find(code); it != g_stockProbes.end()) {
        const StockProbe& known = it->second;
        if (known.available || known.lasting || now - known.askedAt < kStockProbeRetry) return known.available;
    }
    const std::string url = gf_downloadBaseUrl() + "archive/stock/" + lf_xmlFileName(code);
    const fs::path probe = gf_temporaryPathBeside(lf_xmlFileName(code), ".probe");
    long httpStatus = 0;
    const bool available = lf_downloadStandFile(url, probe, &httpStatus);
    std::error_code ec;
    fs::remove(probe, ec);
    if (ec) gf_logWarning(skh::format("could not remove {}: {}", probe.string(), ec.message()));
    g_stockProbes.insert_or_assign(code, StockProbe{available, lf_isLastingAnswer(httpStatus), now});
    return available;
}

std::string gf_getStockAirportFile(const std::string& code) {
    if (!gf_isSafeAirportCode(code)) return {};
    const std::string xml = lf_xmlFileName(code);
    const std::string txt = code + ".txt";
    for (const fs::path* folder : {&g_myThirdpartyFolder, &g_myOrbxFolder}) {
        std::string reference;
        if (lf_readLinkFile(*folder / txt, reference)) return reference;
        if (fs::exists(*folder / xml)) return lf_localReference(*folder, xml);
    }
    if (lf_stockAirportAvailable(code)) return "archive/stock/" + xml;
    return {};
}

bool gf_findParkAirportFile(const std::string& code) {
    if (!gf_isSafeAirportCode(code)) return false;
    for (const fs::path* folder : {&g_myThirdpartyFolder, &g_myOrbxFolder}) {
        if (fs::exists(*folder / lf_xmlFileName(code)) || fs::exists(*folder / (code + ".txt"))) return true;
    }
    return lf_stockAirportAvailable(code);
}

std::optional<std::string> gf_learnedFolderText(std::string_view publisher) {
    std::string text(kLearnedText);
    if (publisher == "stock" || publisher == "simaddon") return text + "\\" + std::string(publisher);
    const auto name = gf_publisherFolderName(publisher);
    if (!name) return std::nullopt;
    text += "\\thirdparty";
    if (!name->empty()) text += "\\" + *name;
    return text;
}

std::optional<fs::path> gf_learnedSavePath(const std::string& ident, const std::string& publisher) {
    const auto folderText = gf_learnedFolderText(publisher);
    if (!gf_isSafeAirportCode(ident) || !folderText) {
        gf_logWarning(skh::format("no learned file for '{}' of publisher '{}': not a safe file name",
                                  gf_shownText(ident), gf_shownText(publisher)));
        return std::nullopt;
    }
    const fs::path folder = gf_localPath(*folderText);
    if (!fs::exists(folder)) fs::create_directories(folder);
    return folder / lf_xmlFileName(ident);
}

std::string lf_learnedFilePath(const std::string& reference, const std::string& publisher) {
    if (reference.empty()) return {};
    const std::string mapped = gf_isSafeReference(reference) ? lf_mappedLearnedPath(reference, publisher) : "";
    const auto folder = gf_learnedFolderText(publisher);
    if (!folder || mapped.empty()) {
        if (mapped.empty()) {
            gf_logWarning(skh::format("no learned file for '{}' of publisher '{}'", gf_shownText(reference),
                                      gf_shownText(publisher)));
        }
        return mapped;
    }
    // Where the learned save writes for this publisher; a file left only at
    // the place the reference maps to (older versions saved there) is read.
    std::string fileName = reference.substr(reference.find_last_of("/\\") + 1);
    lf_replaceAll(fileName, "%20", " ");
    const std::string saved = *folder + "\\" + fileName;
    if (mapped != saved && !lf_exists(saved) && lf_exists(mapped)) return mapped;
    return saved;
}

std::string lf_downloadFile(const std::string& reference, const fs::path& localPath) {
    const std::string url = gf_downloadBaseUrl() + reference;
    if (!gf_isSafeReference(reference) || reference.find('\\') != std::string::npos) {
        gf_logWarning(skh::format("not a file of the download server: '{}'", gf_shownText(reference)));
    } else if (lf_downloadStandFile(url, localPath)) {
        return {};
    }
    const std::string error = skh::format("failed to download: '{}'", url);
    gf_logRaw(error);
    return error;
}

}  // namespace skh
