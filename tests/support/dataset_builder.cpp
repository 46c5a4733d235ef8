#include "support/dataset_builder.hpp"

#include "foundation/constants.hpp"
#include "foundation/format.hpp"
#include "support/libraries.hpp"
#include "support/test_env.hpp"

namespace skh::test {

namespace fs = std::filesystem;

void packDataSet(const std::string& xml, const fs::path& encPath, const DataSetKey& key) {
    initLibraries();
    if (encPath.has_parent_path()) fs::create_directories(encPath.parent_path());
    const fs::path plain = encPath.string() + ".plain";
    writeFile(plain, xml);
    gf_streamEncryptFile(key, plain, encPath);
    fs::remove(plain);
}

fs::path publishDataSet(const fs::path& siteRoot, const std::string& fileName, const std::string& xml) {
    const fs::path path = siteRoot / std::to_string(g_programVersion.major) / fileName;
    packDataSet(xml, path);
    return path;
}

void publishVersions(const fs::path& siteRoot, const VersionData& airports, const VersionData& aig,
                     const VersionData& dbase) {
    const auto member = [](const VersionData& v) {
        return skh::format(R"({{"major": {}, "minor": {}, "patch": {}}})", v.major, v.minor, v.patch);
    };
    writeFile(siteRoot / "versions.json", skh::format(R"({{"airports": {}, "aig": {}, "dbase": {}}})",
                                                      member(airports), member(aig), member(dbase)));
}

}  // namespace skh::test
