#include "foundation/meta_block.hpp"

#include "foundation/constants.hpp"
#include "foundation/parameter_table.hpp"
#include "foundation/time_text.hpp"

namespace skh {

namespace {

bool appendItem(pugi::xml_node meta, const std::string& name, const std::string& value) {
    pugi::xml_node info = meta.append_child("info");
    if (!info) return false;
    return info.append_attribute("name").set_value(name.c_str()) &&
           info.append_attribute("value").set_value(value.c_str());
}

}  // namespace

bool gf_writeMeta(pugi::xml_node node) {
    pugi::xml_node meta = node.append_child("meta");
    if (!meta) return false;
    bool ok = appendItem(meta, author.name, PRODUCT_NAME);
    ok = appendItem(meta, version.name, gf_versionToString(g_programVersion)) && ok;
    ok = appendItem(meta, date.name, gf_dateText()) && ok;
    ok = appendItem(meta, copyright.name, copyright.value.get()) && ok;
    ok = appendItem(meta, P3D.name, "v5/v6") && ok;
    return ok;
}

bool gf_readMetaInfo(const pugi::xml_document& doc, StringParameter& item) {
    // Only a top-level "meta" counts; the first item of that name wins.
    for (pugi::xml_node meta = doc.child("meta"); meta; meta = meta.next_sibling("meta")) {
        for (pugi::xml_node info = meta.child("info"); info; info = info.next_sibling("info")) {
            if (item.name == info.attribute("name").value()) {
                item.value.set(info.attribute("value").value());
                return true;
            }
        }
    }
    item.value.set(std::string());
    return false;
}

}  // namespace skh
