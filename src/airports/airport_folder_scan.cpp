#include "airports/airport_folder_scan.hpp"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <future>
#include <mutex>
#include <system_error>
#include <thread>

#include "airports/bgl_reader.hpp"
#include "airports/scenery_config.hpp"
#include "foundation/format.hpp"
#include "foundation/random.hpp"
#include "foundation/scan_report.hpp"
#include "foundation/upcalls.hpp"

namespace skh {

namespace fs = std::filesystem;

namespace {

const std::string kMarker = "===> ";

// The running tasks of one folder walk. Each task is counted before its
// thread starts and ends by counting itself out; every thread is joined,
// oldest first, before the walk returns (also when it ends by an exception).
class ScanTasks {
public:
    explicit ScanTasks(std::string folderText) : m_folderText(std::move(folderText)) {}
    ScanTasks(const ScanTasks&) = delete;
    ScanTasks& operator=(const ScanTasks&) = delete;
    ~ScanTasks() { joinAll(false); }

    // Waits for a free slot, then starts the task on its own thread.
    void start(const fs::path& file, const BglFileTask& task) {
        const std::int32_t maxTasks = std::max<std::int32_t>(1, g_maxTasks);
        {
            std::unique_lock lock(m_mutex);
            m_changed.wait(lock, [&] { return m_running < maxTasks; });
            ++m_running;
        }
        gf_takeTaskSlot();
        std::packaged_task<void()> work([this, file, &task] {
            const struct Done {
                ScanTasks& tasks;
                ~Done() { tasks.finished(); }
            } done{*this};
            const TaskSlotGuard slot;
            task(file);
        });
        Pending p{std::thread(), work.get_future(), file.string()};
        try {
            p.thread = std::thread(std::move(work));
        } catch (...) {
            finished();
            gf_releaseTaskSlot();
            throw;
        }
        m_pending.push_back(std::move(p));
        joinFinished();
    }

    // Joins the tasks that have ended; a failed task gives a report line.
    void joinFinished() {
        while (!m_pending.empty()) {
            auto it = std::find_if(m_pending.begin(), m_pending.end(), [](const Pending& p) {
                return p.result.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
            });
            if (it == m_pending.end()) return;
            join(*it, true);
            m_pending.erase(it);
        }
    }

    void joinAll(bool duringWalk) {
        while (!m_pending.empty()) {
            join(m_pending.front(), duringWalk);
            m_pending.pop_front();
        }
    }

private:
    struct Pending {
        std::thread thread;
        std::future<void> result;
        std::string path;
    };

    void finished() {
        {
            const std::lock_guard lock(m_mutex);
            --m_running;
        }
        m_changed.notify_one();
    }

    void join(Pending& p, bool duringWalk) {
        if (p.thread.joinable()) p.thread.join();
        try {
            p.result.get();
        } catch (const std::exception& e) {
            if (duringWalk) {
                gf_addScanReport(skh::format("{} airports search aborted, futs inner, \n{}\n{}\n{}", kMarker, e.what(),
                                             m_pending.size(), p.path));
            } else {
                gf_addScanReport(skh::format("{} airports search in {} aborted, futs outer error: {}", kMarker,
                                             m_folderText, e.what()));
            }
        }
    }

    std::string m_folderText;
    std::deque<Pending> m_pending;  // walker thread only
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::int32_t m_running = 0;  // guarded by m_mutex
};

bool stopRequested() { return g_stopRequested.load() || g_closeRequested.load(); }

bool isInsideStock(const fs::path& path, const fs::path& stockFolder) {
    return !stockFolder.empty() && lf_isWithinFolder(path.generic_string(), stockFolder.generic_string());
}

// A subfolder that cannot be listed is reported and left out; the walk goes on.
bool canList(const fs::path& folder, const std::string& folderText) {
    std::error_code ec;
    const fs::directory_iterator probe(folder, ec);
    if (!ec) return true;
    gf_addScanReport(skh::format("{} airports search in folder {} skipped {}: {}", kMarker, folderText, folder.string(),
                                 ec.message()));
    return false;
}

void checkEntry(const fs::directory_entry& entry, fs::recursive_directory_iterator& it, const std::string& folderText,
                const fs::path& stockFolder, ScanTasks& tasks, const BglFileTask& task, bool& stopped) {
    std::error_code ec;
    if (entry.is_directory(ec)) {
        if (isInsideStock(entry.path(), stockFolder) || !canList(entry.path(), folderText)) {
            it.disable_recursion_pending();
        }
        return;
    }
    if (ec) throw fs::filesystem_error("status", entry.path(), ec);
    if (!entry.is_regular_file(ec) || !lf_isBglFile(entry.path().extension().string())) return;
    const std::string text = entry.path().string();
    if (text.find("statics") != std::string::npos || text.find("_heliports") != std::string::npos) return;
    const BglFileCheck check = lf_checkBglFile(entry.path());
    if (!check.problem.empty()) gf_addScanReport(skh::format("{}{} not read: {}", kMarker, text, check.problem));
    if (!check.hasAirports) return;
    if (stopRequested()) {
        stopped = true;
        return;
    }
    tasks.start(entry.path(), task);
}

}  // namespace

bool lf_isBglFile(std::string_view extension) { return extension == ".BGL" || extension == ".bgl"; }

bool lf_scanFolderBgls(const fs::path& folder, const std::string& folderText, const fs::path& stockFolder,
                       const BglFileTask& task) {
    gf_addScanReport("Scanning for addon airports in " + folderText);
    ScanTasks tasks(folderText);
    bool stopped = false;
    std::error_code ec;
    fs::recursive_directory_iterator it(folder, fs::directory_options::skip_permission_denied, ec);
    if (ec) {
        gf_addScanReport(
            skh::format("{} airports search in folder {} aborted because of iterator problem: "
                        "recursive_directory_iterator::recursive_directory_iterator: {}",
                        kMarker, folderText, ec.message()));
        return true;
    }
    for (const fs::recursive_directory_iterator end; it != end && !stopped;) {
        try {
            checkEntry(*it, it, folderText, stockFolder, tasks, task, stopped);
        } catch (const std::exception& e) {
            gf_addScanReport(
                skh::format("{} airports search in folder {} aborted, cause: {}", kMarker, folderText, e.what()));
        }
        if (stopped) break;
        it.increment(ec);
        if (ec) {
            gf_addScanReport(
                skh::format("{} airports search in folder {} aborted because of iterator problem: "
                            "recursive_directory_iterator::operator++: {}",
                            kMarker, folderText, ec.message()));
            break;
        }
    }
    tasks.joinAll(false);
    return !stopped;
}

}  // namespace skh
