#pragma once

namespace qor {

// The title the program is built under: caption of every message box and
// agent of the internet probe.
inline constexpr const char* kApplicationTitle = "QOR_sync_PRO";

}  // namespace qor
