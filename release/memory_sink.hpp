// A small download kept in memory, held to a cap: a release's manifest and
// signature are read, never written to the disk as they come.
#pragma once

#include <cstdint>
#include <string>

#include "platform/byte_sink.hpp"

namespace qor::release {

class MemorySink final : public ByteSink {
 public:
  MemorySink(std::string what, std::uint64_t cap) : what_(std::move(what)), cap_(cap) {}

  Status write(const char* data, std::size_t size) override {
    if (size > cap_ - bytes_.size()) return Failure{what_ + " is larger than " + std::to_string(cap_) + " bytes"};
    bytes_.append(data, size);
    return {};
  }
  Status rewind() override {
    bytes_.clear();
    return {};
  }

  const std::string& bytes() const { return bytes_; }

 private:
  std::string what_;
  std::uint64_t cap_;
  std::string bytes_;
};

}  // namespace qor::release
