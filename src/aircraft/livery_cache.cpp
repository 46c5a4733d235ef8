#include "aircraft/livery_cache.hpp"

#include <pugixml.hpp>

#include "aircraft/livery_data.hpp"
#include "foundation/constants.hpp"
#include "foundation/errors.hpp"
#include "foundation/format.hpp"
#include "foundation/log.hpp"
#include "foundation/meta_block.hpp"
#include "foundation/parameter_table.hpp"
#include "foundation/text_files.hpp"

namespace skh {

namespace {

const char* const kRequired[] = {"airl", "type", "title"};

// A record that could never be used is skipped with a warning, so one bad
// line of a hand-edited cache does not hide the others.
bool usable(const LiveryData& livery, std::size_t number) {
    const char* problem = nullptr;
    if (livery.airl.empty()) {
        problem = "has no airline";
    } else if (livery.type.empty()) {
        problem = "has no type";
    } else if (livery.title.empty()) {
        problem = "has no title";
    } else if (livery.title.size() >= kTitleLimitBytes) {
        problem = "has a title of 256 bytes or more, which the simulator refuses";
    }
    if (problem == nullptr) return true;
    gf_logWarning(skh::format("{}: <liv> number {} {}, skipped", g_liveriesScannedXml.string(), number, problem));
    return false;
}

}  // namespace

void lf_writeLiveriesScanned() {
    if (g_liveries.empty()) return;
    pugi::xml_document doc;
    gf_writeMeta(doc);
    pugi::xml_node liveries = doc.append_child("liveries");
    for (const LiveryData& livery : g_liveries) {
        pugi::xml_node liv = liveries.append_child("liv");
        liv.append_attribute("airl").set_value(livery.airl.c_str());
        liv.append_attribute("type").set_value(livery.type.c_str());
        if (livery.cargo) liv.append_attribute("cargo").set_value("true");
        liv.append_attribute("title").set_value(livery.title.c_str());
        if (!livery.atcid.empty()) liv.append_attribute("atcid").set_value(livery.atcid.c_str());
    }
    if (gf_saveXml(doc, g_liveriesScannedXml)) {
        gf_logRaw(skh::format("{} liveries in {}", g_liveries.size(), g_liveriesScannedXml.string()));
    }
}

void lf_readLiveriesScanned() {
    g_liveries.clear();
    const std::string path = g_liveriesScannedXml.string();
    pugi::xml_document doc;
    if (!doc.load_file(g_liveriesScannedXml.c_str())) {
        throw UserErrorException(51, skh::format("File {} not found", path));
    }
    if (gf_readMetaInfo(doc, author) && gf_readMetaInfo(doc, date)) gf_readMetaInfo(doc, version);
    const pugi::xml_node liveries = doc.child("liveries");
    if (!liveries) throw UserErrorException(52, skh::format("{} does not contain a <liveries> section", path));
    std::size_t number = 0;
    for (const pugi::xml_node liv : liveries.children("liv")) {
        ++number;
        for (const char* name : kRequired) {
            if (!liv.attribute(name)) {
                throw UserErrorException(999, skh::format("Missing required attribute '{}' in <{}>", name, "liv"));
            }
        }
        LiveryData livery{liv.attribute("airl").value(),
                          liv.attribute("type").value(),
                          liv.attribute("title").value(),
                          liv.attribute("atcid").value(),
                          0,
                          liv.attribute("cargo").as_bool(false)};
        if (usable(livery, number)) g_liveries.push_back(std::move(livery));
    }
    if (g_liveries.empty()) throw UserErrorException(533, path + " does not contain liveries");
    gf_sortLiveries(g_liveries);
    gf_logRaw(skh::format("{} liveries read from {}", g_liveries.size(), path));
}

}  // namespace skh
