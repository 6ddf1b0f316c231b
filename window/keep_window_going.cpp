#include "window/keep_window_going.hpp"

#include "window/form_host.hpp"

namespace qor {

KeepGoing keep_window_going(FormHost& host) {
  return [&host] {
    host.DoEvents();
    return !host.closed();
  };
}

}  // namespace qor
