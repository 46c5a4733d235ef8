#pragma once
// Registration codes of AI liveries: the AIG data set and the user's own
// regcode files, each read into a list of entries.
#include <filesystem>
#include <list>
#include <string>
#include <vector>

namespace skh {

struct AigRegcodeEntry {
    std::string title;
    std::list<std::string> regcodes;  // sorted, without duplicates
    bool special = false;
};

// Reads the plain input/AIG-regcodes.xml; false when it could not be loaded
// or a title repeated the one before it.
bool gf_readAigRegcodes(std::vector<AigRegcodeEntry>& list);
// Reads every *.txt file of the folder (sorted by name, ignoring case);
// false when a line was rejected or the folder could not be read.
bool gf_readRegcodeFiles(const std::filesystem::path& folder, std::vector<AigRegcodeEntry>& list);

}  // namespace skh
