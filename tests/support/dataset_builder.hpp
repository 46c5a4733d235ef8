#pragma once
// Builds encrypted data sets and download-site trees for tests.
#include <filesystem>
#include <string>

#include "foundation/dataset_crypto.hpp"
#include "foundation/version.hpp"

namespace skh::test {

// Packs `xml` into a data-set container at `encPath` (folders are created).
void packDataSet(const std::string& xml, const std::filesystem::path& encPath, const DataSetKey& key = g_dataSetKey);

// Puts a data set into the program version's folder of a download site
// (<siteRoot>/<major>/<fileName>) and returns its path.
std::filesystem::path publishDataSet(const std::filesystem::path& siteRoot, const std::string& fileName,
                                     const std::string& xml);

// Writes <siteRoot>/versions.json with the three published versions.
void publishVersions(const std::filesystem::path& siteRoot, const VersionData& airports, const VersionData& aig,
                     const VersionData& dbase);

}  // namespace skh::test
