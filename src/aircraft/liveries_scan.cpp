// The liveries scan at start-up and the processing of its result into the
// livery index, once per process.
#include "aircraft/liveries_scan.hpp"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <exception>
#include <filesystem>
#include <future>
#include <list>
#include <mutex>
#include <optional>
#include <stop_token>
#include <system_error>
#include <thread>
#include <tuple>

#include "aircraft/ai_packages.hpp"
#include "aircraft/aircraft_cfg.hpp"
#include "aircraft/liveries.hpp"
#include "aircraft/livery_cache.hpp"
#include "aircraft/livery_data.hpp"
#include "aircraft/livery_index.hpp"
#include "aircraft/livery_reports.hpp"
#include "aircraft/regcode_map.hpp"
#include "aircraft/scan_tasks.hpp"
#include "aircraft/similar_models.hpp"
#include "foundation/constants.hpp"
#include "foundation/errors.hpp"
#include "foundation/format.hpp"
#include "foundation/log.hpp"
#include "foundation/main_window_state.hpp"
#include "foundation/parameter_table.hpp"
#include "foundation/random.hpp"
#include "foundation/settings_file.hpp"
#include "foundation/text.hpp"
#include "foundation/upcalls.hpp"
#include "platform/window.hpp"

namespace skh {

namespace fs = std::filesystem;

std::atomic<std::uint64_t>& g_liveryCount = g_mainWindowState.liveriesCount;

namespace {

constexpr std::int32_t kMaxFolderNo = 10;
constexpr std::size_t kMaxDescendLength = 250;

std::atomic<std::int32_t> s_taskHighWater{0};
std::uint64_t s_taskOrder = 0;  // start order of the scan's tasks over all roots

using Records = std::list<LiveryData>;

void showLiveryCount(std::uint64_t count) {
    gf_setBoard(g_liveryCount, count);
}

bool stopWanted() { return g_stopRequested.load() || g_closeRequested.load(); }

// The entries of one folder, sorted by name ignoring case, so that every
// file system gives the same records.
std::vector<fs::directory_entry> sortedListing(const fs::path& folder) {
    struct Named {
        std::string lower;
        std::string name;
        fs::directory_entry entry;
    };
    std::vector<Named> named;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
        std::string name = entry.path().filename().string();
        named.push_back({gf_lower(name), std::move(name), entry});
    }
    std::sort(named.begin(), named.end(),
              [](const Named& a, const Named& b) { return std::tie(a.lower, a.name) < std::tie(b.lower, b.name); });
    std::vector<fs::directory_entry> entries;
    entries.reserve(named.size());
    for (Named& n : named) entries.push_back(std::move(n.entry));
    return entries;
}

struct Folder {
    std::string text;
    std::vector<fs::directory_entry> entries;
    std::size_t next = 0;
};

bool isConfigFile(const fs::path& path) {
    const std::string stem = gf_upper(path.stem().string());
    return gf_upper(path.extension().string()) == ".CFG" && (stem == "AIRCRAFT" || stem == "SIM");
}

// The tasks of one root, run by at most g_maxTasks worker threads and
// collected oldest first. Every task is collected and every worker joined on
// every way out, so nothing outlives the walk of the root.
class TaskQueue {
public:
    TaskQueue() {
        const int workers = std::max(g_maxTasks, 1);
        for (int i = 0; i < workers; ++i) {
            try {
                m_workers.emplace_back([this](const std::stop_token& stop) { work(stop); });
            } catch (const std::system_error&) {
                if (m_workers.empty()) throw;  // fewer workers still do the work
                break;
            }
        }
    }
    TaskQueue(const TaskQueue&) = delete;
    TaskQueue& operator=(const TaskQueue&) = delete;
    ~TaskQueue() {
        collectAll();
        for (std::jthread& worker : m_workers) worker.request_stop();
        m_wake.notify_all();
    }

    void start(std::int32_t folderNo, const std::string& filePath) {
        const bool ivao = gf_contains(filePath, "ivao_x-csl") || gf_contains(filePath, "IVAO_MTL");
        gf_waitForTaskSlot();
        gf_takeTaskSlot();
        std::int32_t seen = s_taskHighWater.load();
        const std::int32_t now = g_activeTasks.load();
        while (now > seen && !s_taskHighWater.compare_exchange_weak(seen, now)) {
        }
        const std::uint64_t order = ++s_taskOrder;
        std::packaged_task<Records()> job([folderNo, filePath, ivao, order] {
            const TaskSlotGuard slot;
            gf_setTaskOrder(order);
            return ivao ? lf_scanIvaoFolder(folderNo, filePath) : lf_scanFolder(folderNo, filePath);
        });
        m_pending.push_back({order, filePath, job.get_future()});
        {
            const std::lock_guard lock(m_mutex);
            m_jobs.push_back(std::move(job));
        }
        m_wake.notify_one();
        if (m_pending.size() > static_cast<std::size_t>(std::max(g_maxTasks, 1))) collectOldest("inner");
    }

    void collectAll() {
        while (!m_pending.empty()) collectOldest("outer");
    }

private:
    struct Task {
        std::uint64_t order;
        std::string filePath;
        std::future<Records> future;
    };

    void work(const std::stop_token& stop) {
        while (true) {
            std::packaged_task<Records()> job;
            {
                std::unique_lock lock(m_mutex);
                m_wake.wait(lock, stop, [this] { return !m_jobs.empty(); });
                if (m_jobs.empty()) return;  // stopped
                job = std::move(m_jobs.front());
                m_jobs.pop_front();
            }
            job();  // an exception of the task goes into its future
        }
    }

    void collectOldest(const char* where) {
        Task task = std::move(m_pending.front());
        m_pending.pop_front();
        try {
            Records records = task.future.get();
            for (LiveryData& record : records) {
                // A file started earlier took the title over after this one made it.
                if (!gf_ownsTitle(record.title, task.order)) {
                    lf_addIncompleteSection(skh::format("{} title '{}' already exists", task.filePath, record.title));
                    continue;
                }
                g_liveries.push_back(std::move(record));
            }
        } catch (const std::exception& e) {
            gf_logWarning(skh::format("liveries search aborted, futs {}, {}", where, e.what()));
        }
    }

    std::deque<Task> m_pending;  // start-up worker only
    std::mutex m_mutex;          // guards m_jobs
    std::condition_variable_any m_wake;
    std::deque<std::packaged_task<Records()>> m_jobs;
    std::vector<std::jthread> m_workers;  // declared last: joined first, while the queue still stands
};

// Keeps, for each airline and type, only the records of the lowest folder
// number that has any.
void keepPrioritizedFolders() {
    TextMap<std::int32_t> lowest;
    for (const LiveryData& livery : g_liveries) {
        const std::string key = livery.airl + ' ' + livery.type;
        const auto [it, inserted] = lowest.try_emplace(key, livery.folderNo);
        if (!inserted) it->second = std::min(it->second, livery.folderNo);
    }
    std::erase_if(g_liveries, [&lowest](const LiveryData& livery) {
        return livery.folderNo != lowest.find(livery.airl + ' ' + livery.type)->second;
    });
}

// Empties the scan's lists however the scan ends, so that a later scan in
// the same process starts afresh.
struct ListsCleaner {
    ~ListsCleaner() { lf_clearLiveryLists(); }
};

std::vector<std::string> scanRoots() {
    std::vector<std::string> roots;
    roots.reserve(10);
    if (LIG_AUTOMATIC.value.load()) {
        lf_readP3DAddOnsAircraft(roots);
        lf_readSimObjectsCfg(roots);
        return roots;
    }
    for (const StringParameter* folder : g_liveryFolderParams) {
        std::string text = folder->value.get();
        if (!text.empty()) roots.push_back(std::move(text));
    }
    return roots;
}

}  // namespace

std::int32_t gf_scanTaskHighWater() { return s_taskHighWater.load(); }
void gf_resetScanTaskHighWater() { s_taskHighWater = 0; }

void lf_scanLiveryRoot(std::int32_t folderNo, const std::string& root) {
    std::vector<Folder> stack;
    try {
        stack.push_back({root, sortedListing(lf_localPath(root))});
    } catch (const std::exception& e) {
        gf_logWarning(
            skh::format("liveries search in folder {} aborted because of iterator problem: {}", root, e.what()));
        return;
    }
    std::optional<TaskQueue> tasks;
    try {
        tasks.emplace();
    } catch (const std::exception& e) {
        gf_logWarning(skh::format("liveries search in folder {} aborted, no task could start: {}", root, e.what()));
        return;
    }
    while (!stack.empty()) {
        Folder& folder = stack.back();
        if (folder.next == folder.entries.size()) {
            stack.pop_back();
            continue;
        }
        const fs::directory_entry entry = folder.entries[folder.next++];
        const std::string text = folder.text + '\\' + entry.path().filename().string();
        try {
            // Links to folders are not followed: a link loop cannot trap the walk.
            if (entry.is_directory() && !entry.is_symlink()) {
                if (text.find("airport") == std::string::npos && text.size() < kMaxDescendLength) {
                    std::vector<fs::directory_entry> entries = sortedListing(entry.path());
                    stack.push_back({text, std::move(entries)});
                }
            } else if (entry.is_regular_file() && isConfigFile(entry.path())) {
                tasks->start(folderNo, text);
            }
        } catch (const std::exception& e) {
            gf_logWarning(skh::format("liveries search in {} aborted, cause: {}", text, e.what()));
        }
    }
    tasks->collectAll();
}

ScanOutcome lf_scanLiveryFolders(const std::vector<std::string>& roots) {
    const ListsCleaner cleaner;
    g_liveries.clear();
    lf_removePreviousReports();
    lf_readDontUseTitles();
    std::int32_t folderNo = 0;
    std::int64_t total = 0;
    for (const std::string& root : roots) {
        if (root.empty()) continue;
        const fs::path local = lf_localPath(root);
        if (!fs::exists(local)) {
            gf_logRaw(root + " does not exist, skipped!");
            continue;
        }
        if (!fs::is_directory(local)) {
            gf_logRaw(root + " is not a folder name, skipped!");
            continue;
        }
        if (folderNo < kMaxFolderNo) ++folderNo;
        if (stopWanted()) continue;
        const std::size_t before = g_liveries.size();
        lf_scanLiveryRoot(folderNo, root);
        const auto added = static_cast<std::int64_t>(g_liveries.size() - before);
        const std::string where = skh::format("found in {}", root);
        gf_logRaw(added <= 0 ? skh::format("No liveries {}", where)
                             : skh::format("{} liverie{} {}", added, gf_plural(added), where));
        total += added;
    }
    if (stopWanted()) {
        g_liveries.clear();
        return ScanOutcome::Stopped;
    }
    if (g_liveries.empty()) {
        showLiveryCount(0);
        // The reports tell why nothing was taken; a failure to write them
        // must not hide the error that follows.
        try {
            lf_writeScanReport();
        } catch (const std::exception& e) {
            gf_logWarning(skh::format("the liveries scan report was not written: {}", e.what()));
        }
        return ScanOutcome::NothingFound;
    }
    if (roots.size() > 1) gf_logRaw(skh::format("{} in total", total));
    lf_applyDbaseToLiveries();
    if (LIG_PRIORITIZE.value.load()) keepPrioritizedFolders();
    gf_sortLiveries(g_liveries);
    g_liveries.erase(std::unique(g_liveries.begin(), g_liveries.end(), liveryKeyEqual), g_liveries.end());
    lf_writeLiveriesScanned();
    g_liveries.clear();
    lf_writeScanReport();
    gf_clearStatusMessage();
    return ScanOutcome::Found;
}

void gf_requestRescanWhenCacheGone() {
    if (fs::exists(g_liveriesScannedXml) || SCAN_LIVERIES.value.load()) return;
    gf_setStatusMessage(skh::format("File {} is gone, rescan liveries", g_liveriesScannedXml.string()), true);
    SCAN_LIVERIES.value = true;
    gf_saveBoolParameter(SCAN_LIVERIES);
    gf_showBoolParameter(SCAN_LIVERIES);
    platform::invalidateMainWindow();
}

void lf_processScannedLiveries() {
    if (g_liveryIndexReady.load()) {
        gf_logRaw("Processing scanned liveries skipped; already done in previous start-up");
        g_liveries.clear();
        return;
    }
    lf_readLiveriesScanned();
    // What a processing cut short by an exception left behind goes first.
    if (!g_modelTitleMap.empty()) gf_clearLiveryIndex();
    showLiveryCount(g_liveries.size());
    lf_indexModels();
    lf_indexLiveries();
    lf_checkInlineRegcodes();
    lf_writeOfflineRegcodes();
    gf_logRaw(skh::format("{} registration codes", g_regcodeMap.size()));
    lf_indexTypes();
    gf_logRaw(skh::format("{} airlines, {} pax aircraft models and {} cargo aircraft models", g_modelTitleMap.size(),
                          g_liveryTypeIndex[0].size(), g_liveryTypeIndex[1].size()));
    gf_buildSimilarModels();
    for (AircraftCategory c = CatLight; c <= CatRotorcraft; ++c) lf_summarizeCategories(c);
    g_liveryIndexReady = true;
    platform::invalidateMainWindow();
    g_liveries.clear();
    g_liveries.shrink_to_fit();
}

void gf_scanLiveries() {
    if (!SCAN_LIVERIES.value.load()) {
        lf_processScannedLiveries();
        return;
    }
    const bool automatic = LIG_AUTOMATIC.value.load();
    gf_setStatusMessage(
        skh::format("Scanning {} for liveries ...", LIG_PRIORITIZE.value.load() && !automatic ? "prioritized " : ""),
        false);
    gf_logRaw(skh::format("\n++++++++++++++++++++++++ liveries scan {} starts ++++++++++++++++++++++++++++++++",
                          automatic ? "automatic" : "manual"));
    if (g_maxTasks < 1) gf_initTaskThrottle();
    const std::vector<std::string> roots = scanRoots();
    if (!automatic && roots.empty()) {
        throw UserErrorException(
            48, "Set lfolder parameter(-s) to your liveries first, see Manual 5.1 (or check Liveries automatic)");
    }
    switch (lf_scanLiveryFolders(roots)) {
        case ScanOutcome::Stopped:
            // The setting stays on, so the next start scans again.
            gf_logRaw("liveries scan stopped");
            return;
        case ScanOutcome::NothingFound:
            if (!automatic) throw UserErrorException(53, "no liveries found");
            throw UserErrorException(43,
                                     "Automatic scan has not found any liveries, switch off automatic and set "
                                     "lfolder parameter(-s), Manual 5.1");
        case ScanOutcome::Found:
            break;
    }
    SCAN_LIVERIES.value = false;
    gf_saveBoolParameter(SCAN_LIVERIES);
    gf_showBoolParameter(SCAN_LIVERIES);
    platform::invalidateMainWindow();
    gf_logRaw("\n++++++++++++++++++++++++ liveries scan ends ++++++++++++++++++++++++++++++++\n");
    lf_processScannedLiveries();
}

}  // namespace skh
