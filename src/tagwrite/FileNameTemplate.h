#pragma once

#include <string>
#include <string_view>

#include "platform/CodePage.h"
#include "editor/Id3v1Page.h"
#include "editor/Id3v2Page.h"

namespace sorrelbox {

// Replaces the first occurrence of each token ("%1ti" ... "%2en", in their fixed order) by
// the pages' values; tokens are found on character boundaries only. "%1tr"/"%2tr" take the
// character after them as a minimum width ("%1tr2" pads the track to 2 digits with zeros).
std::string ExpandFileNameTemplate(std::string_view text, const Id3v1Values& v1,
                                   const Id3v2Values& v2, const CodePage& cp = ActiveCodePage());

}  // namespace sorrelbox
