#include "scan_fixture.hpp"

#include "aircraft/aircraft_cfg.hpp"

namespace skh::test {

namespace fs = std::filesystem;

std::string fltsim(int number, const std::string& title, const std::string& texture,
                   const std::vector<std::string>& extra) {
    std::string text =
        "[fltsim." + std::to_string(number) + "]\ntitle=" + title + "\nsim=plane\nmodel=\ntexture=" + texture + "\n";
    for (const std::string& line : extra) text += line + "\n";
    return text + "\n";
}

std::string general(const std::string& type) {
    return type.empty() ? "[General]\n" : "[General]\natc_model=" + type + "\n";
}

std::string utf16le(const std::string& ascii) {
    std::string out = "\xFF\xFE";
    for (const char c : ascii) {
        out += c;
        out += '\0';
    }
    return out;
}

std::string utf16be(const std::string& ascii) {
    std::string out = "\xFE\xFF";
    for (const char c : ascii) {
        out += '\0';
        out += c;
    }
    return out;
}

ScanTest::ScanTest() : m_drives("SKYHAVEN_DRIVES", (m_program.path() / "drives").string()) {}

fs::path ScanTest::local(const std::string& text) const { return lf_localPath(text); }

void ScanTest::aircraftFolder(const std::string& folderText, const std::string& cfgBytes,
                              const std::vector<std::string>& textures, const std::string& fileName) {
    const fs::path folder = local(folderText);
    fs::create_directories(folder / "model");
    writeFile(folder / "plane.air", "air");
    for (const std::string& texture : textures) fs::create_directories(folder / ("texture." + texture));
    writeFile(folder / fileName, cfgBytes);
}

}  // namespace skh::test
