#pragma once

// The maker's web site: the host of the updates page and of the About box's links.
inline constexpr const char kMakerSite[] = "https://quarrow.orlendi.example";
