#pragma once
// Installed AI aircraft for the liveries scan tests: drive D: of the
// simulator's paths lies in the test's program folder ($SKYHAVEN_DRIVES), and
// aircraft folders are built with their aircraft.cfg, model and texture
// folders and .air file.
#include <filesystem>
#include <string>
#include <vector>

#include "livery_fixture.hpp"

namespace skh::test {

// A [fltsim.N] section with a title, sim "plane", an empty model and the
// texture folder `texture`; extra lines follow.
std::string fltsim(int number, const std::string& title, const std::string& texture,
                   const std::vector<std::string>& extra = {});
// "[General]\natc_model=<type>\n" (nothing for an empty type).
std::string general(const std::string& type);

std::string utf16le(const std::string& ascii);
std::string utf16be(const std::string& ascii);

class ScanTest : public LiveryTest {
protected:
    ScanTest();
    // The local folder of a simulator path text on drive D:.
    std::filesystem::path local(const std::string& text) const;
    // Writes <folder>\aircraft.cfg (bytes as given) and creates "model",
    // "plane.air" and a texture folder for every texture name.
    void aircraftFolder(const std::string& folderText, const std::string& cfgBytes,
                        const std::vector<std::string>& textures, const std::string& fileName = "aircraft.cfg");

    ScopedEnv m_drives;
};

}  // namespace skh::test
