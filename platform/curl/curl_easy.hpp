// RAII for libcurl: the process-wide initialisation (once) and easy handles.
#pragma once

#include <curl/curl.h>

#include <memory>

namespace qor {

// curl_global_init once per process; false when it failed.
bool curl_initialised();

struct CurlEasyDeleter {
  void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
using CurlEasy = std::unique_ptr<CURL, CurlEasyDeleter>;

// An empty handle when the library is unusable.
CurlEasy make_curl_easy();

}  // namespace qor
