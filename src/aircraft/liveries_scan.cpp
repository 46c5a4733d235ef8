// The liveries scan at start-up and the processing of its result into the
// livery index, once per process.
#include <filesystem>

#include "aircraft/liveries.hpp"
#include "aircraft/livery_cache.hpp"
#include "aircraft/livery_data.hpp"
#include "aircraft/livery_index.hpp"
#include "aircraft/regcode_map.hpp"
#include "aircraft/similar_models.hpp"
#include "foundation/constants.hpp"
#include "foundation/format.hpp"
#include "foundation/log.hpp"
#include "foundation/main_window_state.hpp"
#include "foundation/parameter_table.hpp"
#include "foundation/settings_file.hpp"
#include "foundation/upcalls.hpp"
#include "platform/window.hpp"

namespace skh {

namespace fs = std::filesystem;

std::atomic<std::uint64_t>& g_liveryCount = g_mainWindowState.liveriesCount;

namespace {

void showLiveryCount(std::uint64_t count) {
    g_liveryCount = count;
    platform::invalidateMainWindow();
}

}  // namespace

void gf_requestRescanWhenCacheGone() {
    if (fs::exists(g_liveriesScannedXml) || SCAN_LIVERIES.value.load()) return;
    gf_setStatusMessage(skh::format("File {} is gone, rescan liveries", g_liveriesScannedXml.string()), true);
    SCAN_LIVERIES.value = true;
    gf_saveBoolParameter(SCAN_LIVERIES);
    gf_showBoolParameter(SCAN_LIVERIES);
    platform::invalidateMainWindow();
}

void lf_processScannedLiveries() {
    if (g_liveryIndexReady.load()) {
        gf_logRaw("Processing scanned liveries skipped; already done in previous start-up");
        g_liveries.clear();
        return;
    }
    lf_readLiveriesScanned();
    showLiveryCount(g_liveries.size());
    lf_indexModels();
    lf_indexLiveries();
    lf_checkInlineRegcodes();
    lf_writeOfflineRegcodes();
    gf_logRaw(skh::format("{} registration codes", g_regcodeMap.size()));
    lf_indexTypes();
    gf_logRaw(skh::format("{} airlines, {} pax aircraft models and {} cargo aircraft models", g_modelTitleMap.size(),
                          g_liveryTypeIndex[0].size(), g_liveryTypeIndex[1].size()));
    gf_buildSimilarModels();
    for (AircraftCategory c = CatLight; c <= CatRotorcraft; ++c) lf_summarizeCategories(c);
    g_liveryIndexReady = true;
    platform::invalidateMainWindow();
    g_liveries.clear();
    g_liveries.shrink_to_fit();
}

void gf_scanLiveries() { lf_processScannedLiveries(); }

}  // namespace skh
