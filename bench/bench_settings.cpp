// Loading and saving parameters.xml, and reading large text files of each
// charset next to a plain read of the same bytes.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/test_env.hpp"
#include "foundation/constants.hpp"
#include "foundation/parameter_table.hpp"
#include "foundation/settings_file.hpp"
#include "foundation/text_files.hpp"

namespace {

namespace fs = std::filesystem;
using namespace skh;

const fs::path& benchFolder() {
    static const test::TempDir folder;
    return folder.path();
}

void BM_loadParameters(benchmark::State& state) {
    g_parametersXmlPath = (benchFolder() / "parameters.xml").string();
    gf_loadParameters();  // creates the file once
    for (auto _ : state) gf_loadParameters();
}
BENCHMARK(BM_loadParameters)->Unit(benchmark::kMillisecond);

void BM_saveParameter(benchmark::State& state) {
    g_parametersXmlPath = (benchFolder() / "parameters.xml").string();
    gf_loadParameters();
    int i = 0;
    for (auto _ : state) {
        MAIN_WINDOW_X.value = ++i % 1000;
        gf_saveIntParameter(MAIN_WINDOW_X);
    }
}
BENCHMARK(BM_saveParameter)->Unit(benchmark::kMillisecond);

constexpr std::size_t kFileSize = 50u << 20;

const fs::path& utf8File() {
    static const fs::path path = [] {
        fs::path p = benchFolder() / "big-utf8.cfg";
        std::ofstream out(p, std::ios::binary);
        std::string line = "title=Airbus A320 Lufthansa D-AIZZ \xC3\xBC\r\n";
        for (std::size_t written = 0; written < kFileSize; written += line.size()) out << line;
        return p;
    }();
    return path;
}

const fs::path& utf16File() {
    static const fs::path path = [] {
        fs::path p = benchFolder() / "big-utf16.cfg";
        std::ofstream out(p, std::ios::binary);
        const std::u16string line = u"title=Airbus A320 Lufthansa D-AIZZ \u00FC\r\n";
        std::string bytes;
        for (char16_t c : line) {
            bytes += static_cast<char>(c & 0xFF);
            bytes += static_cast<char>(c >> 8);
        }
        out << "\xFF\xFE";
        for (std::size_t written = 0; written < kFileSize; written += bytes.size()) out << bytes;
        return p;
    }();
    return path;
}

void readBytes(const fs::path& path, benchmark::State& state) {
    for (auto _ : state) {
        std::FILE* f = std::fopen(path.c_str(), "rb");
        std::string bytes;
        char buffer[1 << 16];
        std::size_t n = 0;
        while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) bytes.append(buffer, n);
        std::fclose(f);
        benchmark::DoNotOptimize(bytes.data());
    }
}

void BM_rawRead_utf8(benchmark::State& state) { readBytes(utf8File(), state); }
void BM_rawRead_utf16(benchmark::State& state) { readBytes(utf16File(), state); }

void BM_readTextFileLines_utf8(benchmark::State& state) {
    for (auto _ : state) {
        std::vector<std::string> lines;
        gf_readTextFileLines(CharsetUtf8WithoutBom, utf8File(), lines);
        benchmark::DoNotOptimize(lines.data());
    }
}

void BM_readTextFileLines_utf16(benchmark::State& state) {
    for (auto _ : state) {
        std::vector<std::string> lines;
        gf_readTextFileLines(CharsetUnicode, utf16File(), lines);
        benchmark::DoNotOptimize(lines.data());
    }
}

BENCHMARK(BM_rawRead_utf8)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_readTextFileLines_utf8)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_rawRead_utf16)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_readTextFileLines_utf16)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
