#pragma once
// The "meta" block of the XML files the program generates for its own later
// use: which program, version, date and simulator wrote the file.
#include <pugixml.hpp>

#include "foundation/parameters.hpp"

namespace skh {

// Appends "meta" with its items as the node's last child; true when every
// item was appended.
bool gf_writeMeta(pugi::xml_node node);
// Looks the item named like the parameter up in a top-level "meta" element
// and stores its value in the parameter; true when found.
bool gf_readMetaInfo(const pugi::xml_document& doc, StringParameter& item);

}  // namespace skh
