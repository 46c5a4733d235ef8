#pragma once
// What the airports scan leaves for each airport it reads from the BGL files:
// a link file to the archived stand file of the download server, a generated
// stand file, or both. One object per scan, shared by its tasks; it holds all
// that the tasks share, so the tasks write no global state.
//
// Two BGL files may hold the same airport. Its files are written under a lock
// of its own ident, and the airport with more stands wins whatever the order
// of the tasks (the smaller BGL path on a tie): a loser's files are removed.
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "airports/bgl_reader.hpp"

namespace skh {

// The publisher of a scenery file judged from its path ("simaddon", a
// publisher of the aircraft database, or "unknown"); may add report lines.
using PublisherLookup = std::function<std::string(const std::string& bglPath)>;

class AirportScanOutput {
public:
    // The folders the scan writes to: simaddon airports and all others.
    AirportScanOutput(std::filesystem::path orbxFolder, std::filesystem::path thirdpartyFolder,
                      PublisherLookup publisherOf);
    AirportScanOutput(const AirportScanOutput&) = delete;
    AirportScanOutput& operator=(const AirportScanOutput&) = delete;

    // The body of one scan task: reads the file and handles its airports.
    void processBglFile(const std::filesystem::path& file);
    // Links or writes the files of one airport read from `bglPath`.
    void handleAirport(BglAirport& airport, const std::string& bglPath, const std::string& publisher);

    // A link or generated file was written (the scan found an add-on airport).
    bool filesWritten() const { return m_filesWritten.load(); }

private:
    struct IdentSlot {
        std::mutex mutex;
        bool taken = false;  // the fields below are guarded by mutex
        std::size_t stands = 0;
        std::string bglPath;
        std::vector<std::filesystem::path> files;
    };
    IdentSlot& slotOf(const std::string& ident);
    bool linkAirport(const std::string& ident, const std::string& publisher, std::int32_t& archivedStands,
                     std::vector<std::string>& lines, std::vector<std::filesystem::path>& files);
    void writeGenerated(const BglAirport& airport, const std::string& bglPath, const std::string& publisher,
                        std::vector<std::string>& lines, std::vector<std::filesystem::path>& files);
    void written();

    std::filesystem::path m_orbxFolder;
    std::filesystem::path m_thirdpartyFolder;
    PublisherLookup m_publisherOf;
    std::mutex m_slotsMutex;  // guards m_slots (not the slots' contents)
    std::unordered_map<std::string, std::unique_ptr<IdentSlot>> m_slots;
    std::atomic<bool> m_filesWritten{false};
};

// The archive paths, relative to the download server's folder; empty, after a
// report line, when the aircraft database does not list the airport.
std::optional<std::string> lf_findSimaddonArchive(const std::string& ident, std::vector<std::string>& lines);
std::optional<std::string> lf_findThirdpartyArchive(const std::string& publisher, const std::string& ident,
                                                    std::int32_t& archivedStands, std::vector<std::string>& lines);

}  // namespace skh
