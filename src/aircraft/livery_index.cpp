#include "aircraft/livery_index.hpp"

#include <algorithm>
#include <memory>
#include <tuple>
#include <unordered_set>

#include "aircraft/dbase.hpp"
#include "aircraft/liveries.hpp"
#include "aircraft/livery_data.hpp"
#include "aircraft/regcode_map.hpp"
#include "aircraft/similar_models.hpp"
#include "foundation/format.hpp"
#include "foundation/log.hpp"
#include "foundation/parameter_table.hpp"
#include "foundation/settings_file.hpp"
#include "foundation/text.hpp"
#include "platform/window.hpp"

namespace skh {

ModelTitleMap g_modelTitleMap;
LiveryIndex g_liveryIndex;
LiveryTypeIndex g_liveryTypeIndex;
TitleViews g_excludedTitles;
std::vector<std::string> g_lightTypes;
std::vector<std::string> g_buzjetTypesInstalled;
std::vector<std::string> g_rotorcraftTypesInstalled;
std::atomic<bool> g_liveryIndexReady{false};

namespace {

// Every title once, in blocks that never move, so views stay put however the
// maps around them grow. A cleared index retires its blocks instead of
// freeing them: views still held then read their old title, not freed memory.
class TitleStore {
public:
    TitleView intern(std::string_view text) {
        const auto found = m_titles.find(text);
        if (found != m_titles.end()) return *found;
        if (text.size() > m_free) {
            const std::size_t size = std::max(kBlockBytes, text.size());
            m_blocks.push_back(std::make_unique<char[]>(size));
            m_next = m_blocks.back().get();
            m_free = size;
        }
        std::copy(text.begin(), text.end(), m_next);
        const TitleView view(m_next, text.size());
        m_next += text.size();
        m_free -= text.size();
        m_bytes += text.size();
        m_titles.insert(view);
        return view;
    }
    TitleView find(std::string_view text) const {
        const auto found = m_titles.find(text);
        return found == m_titles.end() ? TitleView() : *found;
    }
    std::size_t count() const { return m_titles.size(); }
    std::size_t bytes() const { return m_bytes; }
    void clear() {
        m_titles = {};
        for (auto& block : m_blocks) s_retired.push_back(std::move(block));
        m_blocks.clear();
        m_next = nullptr;
        m_free = 0;
        m_bytes = 0;
    }

private:
    static constexpr std::size_t kBlockBytes = 64 * 1024;
    static inline std::vector<std::unique_ptr<char[]>> s_retired;  // kept until the process ends
    std::unordered_set<TitleView, FnvHash, std::equal_to<>> m_titles;
    std::vector<std::unique_ptr<char[]>> m_blocks;
    char* m_next = nullptr;
    std::size_t m_free = 0;
    std::size_t m_bytes = 0;
};

TitleStore s_titles;
std::unordered_set<TitleView, FnvHash, std::equal_to<>> s_excludedSet;

struct CategorySwitch {
    BoolUiParameter* setting;
    const char* missing;
};

// The setting that a category without liveries switches off.
CategorySwitch categorySwitch(AircraftCategory category) {
    switch (category) {
        case CatLight:
            return {&LIGHT_AIRCRAFT, "{} temporarily switched off because you do not have light aircraft installed"};
        case CatHighPerf:
            return {&HIGH_PERF_AIRCRAFT,
                    "{} temporarily switched off because you do not have High Perf aircraft installed"};
        case CatRotorcraft:
            return {&HELICOPTERS, "{} temporarily switched off because you do not have Helicopters installed"};
        default:
            return {nullptr, nullptr};
    }
}

void enableControl(const BoolUiParameter& p, bool enabled) {
    const platform::WindowHandle h = p.hwnd.load();
    if (h != 0) platform::enableWindow(h, enabled);
}

}  // namespace

bool gf_isExcludedTitle(TitleView title) { return s_excludedSet.find(title) != s_excludedSet.end(); }

void gf_addExcludedTitle(TitleView title) {
    g_excludedTitles.push_back(title);
    s_excludedSet.insert(title);
}

void lf_indexModels() {
    for (const LiveryData& livery : g_liveries) {
        if (livery.empty()) continue;
        auto& titles = g_modelTitleMap[livery.airl][livery.type];
        titles.push_back({s_titles.intern(livery.title), livery.cargo});
    }
    for (auto& [airline, types] : g_modelTitleMap) {
        for (auto& [type, titles] : types) titles.shrink_to_fit();
    }
}

void lf_indexLiveries() {
    for (const auto& [airline, types] : g_modelTitleMap) {
        std::array<TextMap<TitleViews>, 2> byKind;
        for (const auto& [type, titles] : types) {
            std::array<TitleViews, 2> views;
            for (const TitleEntry& entry : titles) views[entry.cargo ? 1 : 0].push_back(entry.title);
            for (std::size_t kind = 0; kind < 2; ++kind) {
                if (views[kind].empty()) continue;
                views[kind].shrink_to_fit();
                byKind[kind].emplace(type, std::move(views[kind]));
            }
        }
        for (std::size_t kind = 0; kind < 2; ++kind) {
            if (!byKind[kind].empty()) g_liveryIndex[kind].emplace(airline, std::move(byKind[kind]));
        }
    }
}

void lf_indexTypes() {
    struct Triple {
        std::string_view type;
        std::string_view airline;
        TitleView title;
        bool cargo;
    };
    std::vector<Triple> triples;
    for (const auto& [airline, types] : g_modelTitleMap) {
        for (const auto& [type, titles] : types) {
            for (const TitleEntry& entry : titles) triples.push_back({type, airline, entry.title, entry.cargo});
        }
    }
    // By type, then airline: the candidates of a type come in the same order
    // on every start, whatever the hash maps' order.
    std::stable_sort(triples.begin(), triples.end(), [](const Triple& a, const Triple& b) {
        return std::tie(a.type, a.airline) < std::tie(b.type, b.airline);
    });
    for (const Triple& t : triples) {
        auto& kind = g_liveryTypeIndex[t.cargo ? 1 : 0];
        auto it = kind.find(t.type);
        if (it == kind.end()) it = kind.emplace(std::string(t.type), TitleViews()).first;
        it->second.push_back(t.title);
    }
    for (auto& kind : g_liveryTypeIndex) {
        for (auto& [type, titles] : kind) titles.shrink_to_fit();
    }
}

void lf_logCategoryTypes(bool light, bool buzjets, bool rotorcraft, const std::vector<std::string>& types) {
    std::string line = "  ";
    int pending = 0;
    for (const std::string& type : types) {
        if (light) {
            g_lightTypes.push_back(type);
        } else if (buzjets) {
            g_buzjetTypesInstalled.push_back(type);
        } else if (rotorcraft) {
            g_rotorcraftTypesInstalled.push_back(type);
        }
        line += type;
        line += ',';
        if (++pending == 20) {
            line.pop_back();
            gf_logRaw(line);
            line = "  ";
            pending = 0;
        }
    }
    if (pending > 0) {
        line.pop_back();
        gf_logRaw(line);
    }
}

void lf_summarizeCategories(AircraftCategory category) {
    std::array<std::size_t, 2> counts{};
    std::vector<std::string> types;
    for (std::size_t kind = 0; kind < 2; ++kind) {
        for (const auto& [type, titles] : g_liveryTypeIndex[kind]) {
            if (gf_sizeCategory(type) != category) continue;
            counts[kind] += titles.size();
            types.push_back(type);
        }
    }
    const CategorySwitch sw = categorySwitch(category);
    const char* name = gf_categoryName(category);
    if (counts[0] == 0 && counts[1] == 0) {
        gf_logRaw(skh::format("Category {}: No livery found", name));
        if (sw.setting == nullptr) return;
        if (sw.setting->value.load()) {
            sw.setting->value = false;
            gf_saveBoolParameter(*sw.setting);
            gf_logRaw(skh::format(skh::runtime(sw.missing), sw.setting->name));
        }
        enableControl(*sw.setting, false);
        return;
    }
    std::string cargoTail;
    if (counts[1] > 0) cargoTail = skh::format(" and {} cargo liverie{}", counts[1], gf_pluralUnsigned(counts[1]));
    gf_logRaw(skh::format("Category {}: {} pax liverie{}{}", name, counts[0], gf_pluralUnsigned(counts[0]), cargoTail));
    std::sort(types.begin(), types.end());
    types.erase(std::unique(types.begin(), types.end()), types.end());
    lf_logCategoryTypes(category == CatLight, category == CatBuzjets, category == CatRotorcraft, types);
    if (sw.setting != nullptr) enableControl(*sw.setting, true);
}

TitleView lf_findTitleView(std::string_view text) { return s_titles.find(text); }

bool gf_hasLivery(std::string_view airline, std::string_view type) {
    const auto a = g_modelTitleMap.find(airline);
    return a != g_modelTitleMap.end() && a->second.find(type) != a->second.end();
}

std::vector<std::string> gf_liveryKeys() {
    std::vector<std::string> keys;
    keys.reserve(g_modelTitleMap.size());
    for (const auto& [airline, types] : g_modelTitleMap) keys.push_back(airline.substr(0, 3));
    std::sort(keys.begin(), keys.end());
    return keys;
}

std::size_t gf_titleCount() { return s_titles.count(); }
std::size_t gf_titleBytes() { return s_titles.bytes(); }

void gf_initInUseTitles() {
    static bool reserved = false;
    if (reserved) return;
    reserved = true;
    g_excludedTitles.reserve(4096);
    g_lightTypes.reserve(64);
    g_buzjetTypesInstalled.reserve(128);
    g_rotorcraftTypesInstalled.reserve(32);
}

void gf_clearLiveryIndex() {
    g_liveryIndexReady = false;
    g_lightTypes.clear();
    g_buzjetTypesInstalled.clear();
    g_rotorcraftTypesInstalled.clear();
    gf_clearRegcodeMap();
    g_excludedTitles.clear();
    s_excludedSet.clear();
    gf_clearSimilarModels();
    for (auto& kind : g_liveryTypeIndex) kind.clear();
    for (auto& kind : g_liveryIndex) kind.clear();
    g_modelTitleMap.clear();
    s_titles.clear();
}

}  // namespace skh
