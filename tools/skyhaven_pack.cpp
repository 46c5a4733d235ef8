// skyhaven-pack IN.xml OUT.enc: encrypts a data set's XML with the program's
// key into the container the program downloads and reads. OUT names the data
// set (airports.enc, AIG-regcodes.enc or dbase.enc); IN must be a well-formed
// XML document with that data set's top-level elements, since the program
// would refuse anything else only after it had been published.
#include <sodium.h>

#include <array>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <pugixml.hpp>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/dataset_crypto.hpp"
#include "foundation/text_files.hpp"
#include "tool_files.hpp"
#include "tool_options.hpp"

namespace {

struct DataSetKind {
    const char* fileName;
    std::vector<const char*> topLevel;  // elements the program requires at the top level
};

const std::array<DataSetKind, 3> kKinds = {{
    {"airports.enc", {"airports"}},
    {"AIG-regcodes.enc", {"AIG-regcodes"}},
    {"dbase.enc",
     {"aircrafts", "high_performance", "heavy", "large", "buzjet", "rotorcraft", "cargo_types", "ICAO_airlines",
      "cargo_operators", "simaddonsP3D"}},
}};

// What is wrong with IN as the plain text of OUT's data set; empty when nothing.
std::string problemOf(const std::filesystem::path& in, const std::filesystem::path& out) {
    const std::string name = out.filename().string();
    const DataSetKind* kind = nullptr;
    for (const DataSetKind& k : kKinds) {
        if (name == k.fileName) kind = &k;
    }
    if (kind == nullptr) return "OUT must be named airports.enc, AIG-regcodes.enc or dbase.enc, not " + name;
    if (const std::string why = skh::tools::gf_unreadableFile(in); !why.empty()) {
        return "cannot read " + in.string() + ": " + why;
    }
    pugi::xml_document doc;
    const pugi::xml_parse_result result = doc.load_file(in.c_str());
    if (!result) {
        return in.string() + " is not a well-formed XML document (" + result.description() + " at byte " +
               std::to_string(result.offset) + ")";
    }
    for (const char* element : kind->topLevel) {
        if (!doc.child(element)) return in.string() + " has no top-level element '" + element + "' for " + name;
    }
    return {};
}

const char* const kUsage = "usage: skyhaven-pack IN.xml OUT.enc (OUT: airports.enc, AIG-regcodes.enc or dbase.enc)\n";

constexpr const char* kTool = "skyhaven-pack";

int run(int argc, char** argv) {
    if (argc == 2 && (std::string_view(argv[1]) == "--help" || std::string_view(argv[1]) == "-h")) {
        skh::tools::gf_writeOutput(kUsage);
        return 0;
    }
    // It takes no option: a file name that begins with '-' is one mistyped.
    for (int i = 1; i < argc; ++i) {
        if (argv[i][0] == '-' && argv[i][1] != '\0') return skh::tools::gf_refuseUnknown(kTool, argv[i]);
    }
    if (argc != 3) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    if (skh::tools::gf_sameFile(argv[2], argv[1])) {
        std::fprintf(stderr, "skyhaven-pack: %s would overwrite %s (the same file); nothing written\n", argv[2],
                     argv[1]);
        return 2;
    }
    const std::string problem = problemOf(argv[1], argv[2]);
    if (!problem.empty()) {
        std::fprintf(stderr, "skyhaven-pack: %s; nothing written\n", problem.c_str());
        return 1;
    }
    if (sodium_init() < 0) {
        std::fprintf(stderr, "skyhaven-pack: sodium_init failed\n");
        return 1;
    }
    // Written beside OUT and renamed over it only when whole, so that a write
    // that fails (a full disk) or is stopped leaves an older OUT as it was.
    const std::filesystem::path out = argv[2];
    const std::filesystem::path temp = skh::gf_temporaryPathBeside(out, ".tmp");
    const skh::tools::RemovedOnStop removed(temp);
    std::string why;
    try {
        skh::gf_streamEncryptFile(skh::g_dataSetKey, argv[1], temp.string());
    } catch (const std::exception& e) {
        why = e.what();
    }
    if (why.empty() && !skh::gf_replaceWith(temp, out, why)) why = out.string() + ": " + why;
    if (!why.empty()) {
        skh::gf_removeFile(temp);
        // The file the user named, not the one beside it.
        for (auto at = why.find(temp.string()); at != std::string::npos; at = why.find(temp.string())) {
            why.replace(at, temp.string().size(), out.string());
        }
        std::fprintf(stderr, "skyhaven-pack: %s; nothing written\n", why.c_str());
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) { return skh::tools::gf_endOutput(kTool, run(argc, argv)); }
