// Decryption of data sets: throughput on a 50 MB data set (target: at least
// 300 MB/s) and the peak resident size of a 5 MB and a 50 MB run, which must
// differ by less than 1 MB (the decryption streams in fixed chunks).
#include <benchmark/benchmark.h>
#include <sodium.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <stdexcept>
#include <string>

#include "support/test_env.hpp"
#include "foundation/dataset_crypto.hpp"

namespace {

namespace fs = std::filesystem;
using skh::gf_streamDecrypt;

constexpr std::int64_t kMegabyte = 1000 * 1000;

// A work folder with one encrypted data set per size, removed at exit.
class DataSets {
public:
    DataSets() {
        if (sodium_init() < 0) throw std::runtime_error("sodium_init failed");
    }

    const fs::path& encrypted(std::int64_t megabytes) {
        auto it = m_files.find(megabytes);
        if (it != m_files.end()) return it->second;
        const fs::path plain = m_dir / "plain.xml";
        writeXml(plain, megabytes * kMegabyte);
        const fs::path enc = m_dir / ("dbase-" + std::to_string(megabytes) + "MB.enc");
        skh::gf_streamEncryptFile(skh::g_dataSetKey, plain, enc);
        fs::remove(plain);
        return m_files.emplace(megabytes, enc).first->second;
    }

    fs::path output() const { return m_dir / "dbase.xml"; }

private:
    // XML-like rows written a block at a time, so building the input does not
    // itself hold the whole file in memory.
    static void writeXml(const fs::path& path, std::int64_t bytes) {
        std::ofstream out(path, std::ios::binary);
        std::string block;
        for (int i = 0; block.size() < 64 * 1024; ++i) {
            block += "<aircraft reg=\"ZZ-" + std::to_string(10000 + i) + "\" type=\"B738\" airline=\"ZZZ\"/>\n";
        }
        for (std::int64_t left = bytes; left > 0; left -= static_cast<std::int64_t>(block.size())) {
            out.write(block.data(), static_cast<std::streamsize>(std::min<std::int64_t>(left, block.size())));
        }
    }

    skh::test::TempDir m_dir;
    std::map<std::int64_t, fs::path> m_files;
};

DataSets& dataSets() {
    static DataSets sets;
    return sets;
}

void BM_DecryptDataSet(benchmark::State& state) {
    const std::int64_t megabytes = state.range(0);
    const fs::path& enc = dataSets().encrypted(megabytes);
    const fs::path out = dataSets().output();
    for (auto _ : state) {
        // The readers remove the plain text after reading it, so every
        // decryption writes a new file.
        state.PauseTiming();
        fs::remove(out);
        state.ResumeTiming();
        if (!gf_streamDecrypt(enc, out)) state.SkipWithError("decryption failed");
    }
    state.SetBytesProcessed(state.iterations() * megabytes * kMegabyte);
    fs::remove(out);
}
BENCHMARK(BM_DecryptDataSet)->Arg(50)->Unit(benchmark::kMillisecond)->UseRealTime();

// VmHWM of this process in kB, or -1.
long peakResidentKb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
    }
    return -1;
}

// Resets the peak to the current resident size (Linux "clear_refs" 5).
bool resetPeak() {
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
    clear.flush();
    return static_cast<bool>(clear);
}

// The peak resident size of one decryption run, in kB, or -1.
long peakOfRunKb(const fs::path& enc, const fs::path& out) {
    if (!resetPeak()) return -1;
    return gf_streamDecrypt(enc, out) ? peakResidentKb() : -1;
}

void BM_DecryptPeakMemory(benchmark::State& state) {
    const fs::path& small = dataSets().encrypted(5);
    const fs::path& large = dataSets().encrypted(50);
    const fs::path out = dataSets().output();
    long smallKb = 0;
    long largeKb = 0;
    for (auto _ : state) {
        smallKb = peakOfRunKb(small, out);
        largeKb = peakOfRunKb(large, out);
    }
    fs::remove(out);
    if (smallKb < 0 || largeKb < 0) {
        state.SkipWithError("cannot measure the peak resident size here");
        return;
    }
    state.counters["peak_5MB_kB"] = static_cast<double>(smallKb);
    state.counters["peak_50MB_kB"] = static_cast<double>(largeKb);
    state.counters["difference_kB"] = static_cast<double>(largeKb - smallKb);
    if (largeKb - smallKb >= 1024) state.SkipWithError("peak resident size grows with the data-set size");
}
BENCHMARK(BM_DecryptPeakMemory)->Iterations(1)->Unit(benchmark::kMillisecond);

// The check a downloaded data set passes before it replaces the old one.
void BM_VerifyDataSet(benchmark::State& state) {
    const fs::path& enc = dataSets().encrypted(50);
    for (auto _ : state) {
        if (!skh::gf_verifyDataSet(enc)) state.SkipWithError("verification failed");
    }
    state.SetBytesProcessed(state.iterations() * 50 * kMegabyte);
}
BENCHMARK(BM_VerifyDataSet)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
