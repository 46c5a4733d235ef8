#pragma once
// Downloads from the program's web site and the once-per-process check of the
// three data sets (airport list, AIG registration codes, aircraft database)
// against the versions the site publishes in versions.json.
#include <curl/curl.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

namespace skh {

// Limits of every transfer, so that a stalled server cannot hang the start:
// a transfer slower than `lowSpeedBytesPerSecond` for `lowSpeedTime` aborts.
struct DownloadLimits {
    std::chrono::milliseconds connectTimeout{15000};
    long lowSpeedBytesPerSecond = 1;
    std::chrono::seconds lowSpeedTime{30};
    std::chrono::milliseconds totalTimeout{0};  // 0: no limit on the whole transfer
};
// Set before any transfer starts (tests shorten the limits).
extern DownloadLimits g_downloadLimits;

// The environment variable that replaces the web site's download address.
inline constexpr const char* kDownloadUrlVariable = "SKYHAVEN_DOWNLOAD_URL";

struct CurlCleanup {
    void operator()(CURL* handle) const noexcept { curl_easy_cleanup(handle); }
};
using CurlHandle = std::unique_ptr<CURL, CurlCleanup>;

// A check of a received file before it replaces the old one.
using DownloadCheck = std::function<bool(const std::filesystem::path& received)>;

// The web site's download folder, ending in "/".
std::string gf_downloadSiteUrl();
// The download folder with "P3D/" appended (the single airport files).
std::string gf_downloadBaseUrl();

// Downloads `url` into a temporary file beside `localPath` and renames it over
// `localPath` only when the whole body arrived with a 2xx status, was written
// and closed, and passed `check`; otherwise the old file stays as it was.
// `limits` bound the transfer (g_downloadLimits unless given).
bool gf_downloadToFile(CURL* handle, const std::string& url, const std::filesystem::path& localPath, bool binary,
                       const DownloadCheck& check = {}, const DownloadLimits& limits = g_downloadLimits);
// Downloads a file of the program version's folder on the web site.
bool gf_downloadFile(const std::string& fileName, const std::filesystem::path& localPath,
                     const DownloadCheck& check = {});

// Downloads versions.json and every data set that is newer or missing, and
// stores the new versions. A versions.json that cannot be removed afterwards
// is a warning; the check goes on.
void gf_checkDataVersions();

// Removes versions.json once it has been read; throws
// std::filesystem::filesystem_error as std::filesystem::remove does. Tests
// put a failing one in (a file another program holds open); empty: the default.
using FileRemover = std::function<void(const std::filesystem::path&)>;
void gf_setVersionsFileRemover(FileRemover remover);

}  // namespace skh
