#include "platform/linux/curl/curl_easy.hpp"

namespace qor {

bool curl_initialised() {
  // Never cleaned up: libcurl's global state lives as long as the process.
  static const bool ok = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
  return ok;
}

CurlEasy make_curl_easy() {
  if (!curl_initialised()) return CurlEasy{};
  return CurlEasy{curl_easy_init()};
}

}  // namespace qor
