#pragma once
#include <cstdint>

// Where a link came from in the page.
enum LinkKind : std::int32_t {
    LK_NONE = 0,   // no more links
    LK_IMAGE = 1,  // src of an img tag
    LK_ANCHOR = 2, // href of an a tag
};
