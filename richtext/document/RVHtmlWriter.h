#pragma once
// The state of one HTML write, shared by the document writer and the items that write
// themselves (tables and their cell documents).

#include <string>

#include "platform/core/Color.h"

namespace epc {

class TRVHTMLWriteContext {
public:
    // The folder pictures are saved into (beside the page); empty: pictures are left out.
    std::string Path;
    // Styles as classes of a style sheet in the page head (else HTML attributes and tags).
    bool Css = false;
    // The background the text lies on (table cells pass their own).
    TColor Background = clNone;
};

// Text as HTML character data (UTF-8 in, UTF-8 out): markup characters as entities, control
// characters dropped.
std::string HtmlEscapeText(const std::string& utf8);

} // namespace epc
