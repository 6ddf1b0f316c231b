#pragma once

namespace qor {

// The title the program is built under: caption of every message box and
// agent of the internet probe.
inline constexpr const char* kApplicationTitle = "QOR_sync_PRO";

// The version it is built as (the CMake project version), and how it names
// itself to servers: some hosting refuses a request that names no client.
inline constexpr const char* kApplicationVersion = QOR_APPLICATION_VERSION;
inline constexpr const char* kUserAgent = "QOR_sync_PRO/" QOR_APPLICATION_VERSION;

}  // namespace qor
