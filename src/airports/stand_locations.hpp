#pragma once
// Where an airport's stand file is, where its learned file is, and fetching
// stand files from the download server.
//
// A file reference says where the stand file is:
//   "airports\my_thirdparty\EGLL.xml"   a local file (backslashes, as shown
//                                       and logged; gf_localPath opens it)
//   "archive/stock/EGLL.xml"            a file below the server's "P3D/"
//   ""                                  none known
// Link files (<code>.txt in airports\my_thirdparty and airports\my_ORBX)
// hold a server reference on their first line.
//
// References, publishers and codes come from files and the network: one that
// could leave its folder ("..", ":", absolute paths, separators in a
// publisher) is refused with a log line. Downloads are bounded in time, take
// only a complete 2xx answer that is a stand file, and never replace a good
// file with a bad one. Main loop only.
#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "foundation/datasets.hpp"

namespace skh {

// Limits of stand-file downloads (tests shorten them).
extern DownloadLimits g_standDownloadLimits;

// "<code>.xml"
std::string lf_xmlFileName(std::string_view code);
// An airport code fit for a file name and a URL: 1 to 16 ASCII letters,
// digits, '-' or '_'.
bool gf_isSafeAirportCode(std::string_view code);
// A relative reference that stays below its folder: no "..", ':', empty
// segment, control character or leading separator; UTF-8 of sane length.
bool gf_isSafeReference(std::string_view reference);
// The folder name for a publisher below airports\learned\thirdparty (the
// publisher itself; empty for none); nothing for a name that is no single
// safe folder name.
std::optional<std::string> gf_publisherFolderName(std::string_view publisher);
// A reference or learned path in its shown form as a path to open.
std::filesystem::path gf_localPath(std::string_view reference);

// The stand file of an airport: the link or xml file in my_thirdparty, then
// in my_ORBX, then the server's stock file; "" when none. Throws
// std::filesystem::filesystem_error ("exists") when a folder cannot be tested.
std::string gf_getStockAirportFile(const std::string& code);
// Whether a stand file is at hand: an xml or link file (by its existence) in
// my_thirdparty or my_ORBX, else the server's stock file.
bool gf_findParkAirportFile(const std::string& code);
// Whether the server holds the stock file. Each code is asked once per run:
// the answer is remembered until gf_clearStockProbes, except a failure other
// than "not found" (404, 410), which is asked again after kStockProbeRetry.
bool lf_stockAirportAvailable(const std::string& code);
void gf_clearStockProbes();
inline constexpr std::chrono::minutes kStockProbeRetry{5};
// The clock of those retries; tests put in their own, empty: the steady clock.
using StockProbeClock = std::function<std::chrono::steady_clock::time_point()>;
void gf_setStockProbeClock(StockProbeClock clock);
// The reference on the first line of a link file (a byte-order mark, blanks
// and anything after the last ".xml" dropped); false when there is none.
bool lf_readLinkFile(const std::filesystem::path& path, std::string& reference);

// Where the learned file of the airport of a reference is read (shown form):
// where the learned save writes for the publisher (gf_learnedFolderText and
// the reference's file name), or, when only that exists, where the
// reference's text maps to: "archive/stock/EGLL.xml" ->
// airports\learned\stock\EGLL.xml ("/" a backslash, "%20" a blank),
// airports\my_thirdparty\EGLL.xml -> airports\learned\thirdparty\<publisher>\EGLL.xml,
// airports\my_ORBX\EGLL.xml -> airports\learned\my_ORBX\EGLL.xml.
// "" for an empty or unsafe reference or publisher.
std::string lf_learnedFilePath(const std::string& reference, const std::string& publisher);
// The learned folder of a publisher in shown form: stock, simaddon, or
// thirdparty\<publisher>; nothing for an unsafe publisher.
std::optional<std::string> gf_learnedFolderText(std::string_view publisher);
// The file the learned save writes for an airport, its folder created;
// nothing for an unsafe code or publisher. Throws
// std::filesystem::filesystem_error when the folder cannot be made.
std::optional<std::filesystem::path> gf_learnedSavePath(const std::string& ident, const std::string& publisher);

// Downloads a server reference to `localPath`; "" on success, else
// "failed to download: '<url>'" (also logged). `localPath` keeps its old
// content on any failure.
std::string lf_downloadFile(const std::string& reference, const std::filesystem::path& localPath);

}  // namespace skh
