#include "foundation/datasets.hpp"

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <gsl/util>
#include <nlohmann/json.hpp>
#include <optional>
#include <system_error>

#include "foundation/constants.hpp"
#include "foundation/dataset_crypto.hpp"
#include "foundation/format.hpp"
#include "foundation/json_text.hpp"
#include "foundation/log.hpp"
#include "foundation/parameter_table.hpp"
#include "foundation/settings_file.hpp"
#include "foundation/text_files.hpp"
#include "foundation/version.hpp"

namespace skh {

namespace fs = std::filesystem;

DownloadLimits g_downloadLimits;

namespace {

FileRemover g_versionsFileRemover;

const std::string kDownloadSite = "https://downloads.skyhaven.example/";
const fs::path kVersionsFile = "versions.json";
// versions.json holds three small objects; anything much larger is not it.
constexpr std::size_t kMaxVersionsFileBytes = 64 * 1024;

struct DataSet {
    const char* key;
    const fs::path& localFile;
    const char* fileName;
    StringParameter& storedVersion;
};

std::size_t lf_writeBlock(char* data, std::size_t size, std::size_t count, void* file) {
    return std::fwrite(data, size, count, static_cast<std::FILE*>(file));
}

void lf_logDataUpdated(const std::string& key, const std::string& version) {
    gf_logRaw(skh::format("{} updated to {}", key, version));
}

void lf_logVersionUpToDate(const std::string& key) { gf_logRaw(skh::format("{} version up-to-date", key)); }

void lf_logVersionNotFound(const std::string& key) { gf_logWarning(skh::format("{} version not found", key)); }

// One of "major", "minor", "patch": a JSON integer from 0 to INT32_MAX.
std::optional<std::int32_t> lf_versionNumber(const nlohmann::json& member, const char* name, std::string& problem) {
    const auto it = member.find(name);
    if (it == member.end()) {
        problem = skh::format("'{}' is missing", name);
        return std::nullopt;
    }
    if (it->is_number_unsigned()) {
        const auto v = it->get<std::uint64_t>();
        if (v <= static_cast<std::uint64_t>(INT32_MAX)) return static_cast<std::int32_t>(v);
    }
    problem = skh::format("'{}' is not a version number: {}", name, gf_jsonText(*it));
    return std::nullopt;
}

// The version that versions.json publishes for a data set; a warning and
// nothing when the member is absent or malformed.
std::optional<VersionData> lf_publishedVersion(const nlohmann::json& versions, const std::string& key) {
    if (!versions.is_object() || !versions.contains(key)) {
        lf_logVersionNotFound(key);
        return std::nullopt;
    }
    const nlohmann::json& member = versions.at(key);
    std::string problem = "it is not an object";
    if (member.is_object()) {
        const auto major = lf_versionNumber(member, "major", problem);
        const auto minor = major ? lf_versionNumber(member, "minor", problem) : std::nullopt;
        const auto patch = minor ? lf_versionNumber(member, "patch", problem) : std::nullopt;
        if (patch) return VersionData(*major, *minor, *patch);
    }
    gf_logWarning(skh::format("{} version invalid: {}", key, problem));
    return std::nullopt;
}

// Reads versions.json; a null document (after a warning) when it is not JSON.
// False when the file cannot be read at all.
bool lf_readVersions(nlohmann::json& versions) {
    std::ifstream in(kVersionsFile, std::ios::binary);
    if (!in) return false;
    std::string text(kMaxVersionsFileBytes + 1, '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    if (in.bad()) return false;
    text.resize(static_cast<std::size_t>(in.gcount()));
    in.close();
    if (text.size() > kMaxVersionsFileBytes) {
        gf_logWarning(skh::format("versions.json is larger than {} bytes", kMaxVersionsFileBytes));
        return true;
    }
    try {
        versions = nlohmann::json::parse(text);
    } catch (const nlohmann::json::exception& e) {
        gf_logWarning(skh::format("versions.json is not valid JSON: {}", e.what()));
        return true;
    }
    // Kept on disk when it failed to parse, to show what the site sent. One
    // that cannot be removed now is replaced by the next download: the data
    // sets are still checked.
    try {
        if (g_versionsFileRemover) {
            g_versionsFileRemover(kVersionsFile);
        } else {
            fs::remove(kVersionsFile);
        }
    } catch (const std::exception& e) {
        gf_logWarning(skh::format("versions.json could not be removed: {}", e.what()));
    }
    return true;
}

void lf_checkDataSet(const nlohmann::json& versions, const DataSet& set) {
    const std::optional<VersionData> published = lf_publishedVersion(versions, set.key);
    if (!published) return;
    const VersionData stored(set.storedVersion.value.get());
    std::error_code ec;
    if (!(*published > stored) && fs::is_regular_file(set.localFile, ec)) {
        lf_logVersionUpToDate(set.key);
        return;
    }
    // A body that is not a complete data set (an error page sent with status
    // 200) must not replace the one on disk nor be stored as the new version.
    if (!gf_downloadFile(set.fileName, set.localFile, gf_verifyDataSet)) return;
    const std::string text = gf_versionToString(*published);
    gf_setStringParameter(set.storedVersion, text);
    lf_logDataUpdated(set.key, text);
}

}  // namespace

std::string gf_downloadSiteUrl() {
    const char* variable = std::getenv(kDownloadUrlVariable);
    std::string url = variable != nullptr && *variable != '\0' ? variable : kDownloadSite;
    if (url.back() != '/') url += '/';
    return url;
}

std::string gf_downloadBaseUrl() { return gf_downloadSiteUrl() + "P3D/"; }

bool gf_downloadToFile(CURL* handle, const std::string& url, const fs::path& localPath, bool binary,
                       const DownloadCheck& check, const DownloadLimits& limits) {
    if (handle == nullptr) return false;
    try {
        const fs::path temp = gf_temporaryPathBeside(localPath, ".download");
        std::FILE* file = std::fopen(temp.string().c_str(), binary ? "wb" : "w");
        if (file == nullptr) {
            gf_logRaw(skh::format("Could not open output file: {}", localPath.string()));
            return false;
        }
        bool open = true;
        // The temporary file goes in every case: renamed on success, else removed.
        const auto cleanup = gsl::finally([&] {
            if (open) std::fclose(file);
            std::error_code ec;
            fs::remove(temp, ec);
        });

        char errorText[CURL_ERROR_SIZE] = {};
        curl_easy_setopt(handle, CURLOPT_URL, url.c_str());
        curl_easy_setopt(handle, CURLOPT_USERAGENT, "SKHV");
        curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, &lf_writeBlock);
        curl_easy_setopt(handle, CURLOPT_WRITEDATA, file);
        curl_easy_setopt(handle, CURLOPT_FAILONERROR, 1L);
        curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(limits.connectTimeout.count()));
        curl_easy_setopt(handle, CURLOPT_LOW_SPEED_LIMIT, limits.lowSpeedBytesPerSecond);
        curl_easy_setopt(handle, CURLOPT_LOW_SPEED_TIME, static_cast<long>(limits.lowSpeedTime.count()));
        curl_easy_setopt(handle, CURLOPT_TIMEOUT_MS, static_cast<long>(limits.totalTimeout.count()));
        // Other threads run beside the start-up worker: no signals for timeouts.
        curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(handle, CURLOPT_ERRORBUFFER, errorText);
        const CURLcode result = curl_easy_perform(handle);
        curl_easy_setopt(handle, CURLOPT_ERRORBUFFER, nullptr);
        long status = 0;
        curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &status);
        open = false;
        const bool closed = std::fclose(file) == 0;

        std::string problem;
        std::error_code ec;
        if (result != CURLE_OK) {
            problem = errorText[0] != '\0' ? errorText : curl_easy_strerror(result);
        } else if (status < 200 || status > 299) {
            // Redirects are not followed: a 3xx body is not the file.
            problem = skh::format("HTTP status {}", status);
        } else if (!closed) {
            problem = skh::format("could not write {}", temp.string());
        } else if (check && !check(temp)) {
            problem = "the received file is not valid";
        } else if (fs::rename(temp, localPath, ec); ec) {
            problem = skh::format("could not replace {}: {}", localPath.string(), ec.message());
        }
        if (problem.empty()) return true;
        gf_logRaw(skh::format("Download of '{}' failed: {}", url, problem));
        return false;
    } catch (const std::exception& e) {
        gf_logRaw(skh::format("Downloader exception: '{}', {} => {}", e.what(), url, localPath.string()));
        return false;
    }
}

bool gf_downloadFile(const std::string& fileName, const fs::path& localPath, const DownloadCheck& check) {
    const std::string url = skh::format("{}{}/{}", gf_downloadSiteUrl(), g_programVersion.major, fileName);
    const CurlHandle handle(curl_easy_init());
    const bool ok = gf_downloadToFile(handle.get(), url, localPath, true, check);
    if (ok) {
        gf_logRaw(skh::format("Downloaded '{}' to '{}'", url, localPath.string()));
    } else {
        gf_logWarning(skh::format("Downloading '{}' failed !", url));
    }
    return ok;
}

void gf_setVersionsFileRemover(FileRemover remover) { g_versionsFileRemover = std::move(remover); }

void gf_checkDataVersions() {
    {
        const CurlHandle handle(curl_easy_init());
        if (!gf_downloadToFile(handle.get(), gf_downloadSiteUrl() + "versions.json", kVersionsFile, false)) {
            gf_logWarning("Downloading version info from my web site failed!");
            return;
        }
    }
    nlohmann::json versions;
    if (!lf_readVersions(versions)) {
        gf_logWarning("Cannot open versions.json");
        return;
    }
    const std::array<DataSet, 3> sets = {{
        {"airports", g_airportsEnc, "airports.enc", AIRPORTS_VERSION},
        {"aig", g_aigRegcodesEnc, "AIG-regcodes.enc", AIG_VERSION},
        {"dbase", g_dbaseEnc, "dbase.enc", DBASE_VERSION},
    }};
    for (const DataSet& set : sets) lf_checkDataSet(versions, set);
}

}  // namespace skh
