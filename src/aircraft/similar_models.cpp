#include "aircraft/similar_models.hpp"

#include <set>

#include "aircraft/dbase.hpp"
#include "aircraft/liveries.hpp"
#include "aircraft/livery_index.hpp"
#include "foundation/format.hpp"
#include "foundation/log.hpp"
#include "foundation/random.hpp"
#include "foundation/text.hpp"

namespace skh {

TextMap<std::vector<std::string>> g_installedSimilarTypes;
TextMap<TextMap<std::vector<std::string>>> g_airlineSimilarTypes;

namespace {

const std::vector<std::string> s_emptyList;
std::vector<std::string> s_oneTypeList;

bool installed(std::string_view type) {
    return g_liveryTypeIndex[0].find(type) != g_liveryTypeIndex[0].end() ||
           g_liveryTypeIndex[1].find(type) != g_liveryTypeIndex[1].end();
}

}  // namespace

void gf_buildSimilarModels() {
    std::set<std::string> texts;
    for (const std::vector<std::string>& group : g_similarGroups) {
        for (const std::string& member : group) {
            std::string text = member;
            for (const std::string& other : group) {
                if (&other != &member && installed(other)) text += "," + other;
            }
            if (text.find(',') != std::string::npos) texts.insert(std::move(text));
        }
    }
    for (const std::string& text : texts) {
        std::vector<std::string> pieces = gf_split(text, ',');
        std::string key = std::move(pieces.front());
        pieces.erase(pieces.begin());
        g_installedSimilarTypes.try_emplace(std::move(key), std::move(pieces));
    }
    for (const std::string& airline : gf_liveryKeys()) {
        TextMap<std::vector<std::string>> similar;
        for (const auto& [type, list] : g_installedSimilarTypes) {
            if (gf_hasLivery(airline, type)) continue;
            std::vector<std::string> own;
            for (const std::string& t : list) {
                if (gf_hasLivery(airline, t)) own.push_back(t);
            }
            if (!own.empty()) similar.emplace(type, std::move(own));
        }
        if (!similar.empty()) g_airlineSimilarTypes.try_emplace(airline, std::move(similar));
    }
    gf_logRaw(skh::format("{} similar model definitions", g_installedSimilarTypes.size()));
}

void gf_clearSimilarModels() {
    g_installedSimilarTypes.clear();
    g_airlineSimilarTypes.clear();
}

const std::vector<std::string>& gf_findSimilarModel(std::string_view airline, std::string_view type) {
    const auto a = g_airlineSimilarTypes.find(airline);
    if (a == g_airlineSimilarTypes.end()) return s_emptyList;
    const auto t = a->second.find(type);
    if (t == a->second.end()) return s_emptyList;
    gf_shuffle(t->second);
    return t->second;
}

const std::vector<std::string>* gf_findSimilarTypes(std::string_view type) {
    const auto it = g_installedSimilarTypes.find(type);
    return it == g_installedSimilarTypes.end() ? nullptr : &it->second;
}

const std::vector<std::string>& gf_singleTypeList(const std::function<std::string()>& typeSource) {
    std::string type = typeSource();
    if (type.empty()) return s_emptyList;
    s_oneTypeList.assign(1, std::move(type));
    return s_oneTypeList;
}

std::string gf_publisherFromFileName(std::string_view fileName, const ScanReportSink& report) {
    if (gf_containsNoCase(fileName, "ORBX")) {
        if (report) report("from filename => publisher simaddon");
        return "simaddon";
    }
    for (const std::vector<std::string>& publisher : g_publishers) {
        for (const std::string& name : publisher) {
            if (gf_containsNoCase(fileName, name)) return publisher.front();
        }
    }
    return "unknown";
}

}  // namespace skh
