#include "portable/transfer/download_resume.hpp"

#include <algorithm>

namespace qor {

std::optional<std::string_view> DownloadResume::take(std::string_view data, std::optional<std::uint64_t> size) {
  if (!rest_ || compared_ >= tail_.size()) return data;
  // SIZE was answered before the data began: a file of another size is
  // another file.
  if (compared_ == 0 && size != size_) {
    diverged_ = true;
    return std::nullopt;
  }
  const std::size_t again = std::min(data.size(), tail_.size() - compared_);
  if (data.substr(0, again) != std::string_view(tail_).substr(compared_, again)) {
    diverged_ = true;
    return std::nullopt;
  }
  compared_ += again;
  return data.substr(again);
}

void DownloadResume::wrote(std::string_view data) {
  if (data.size() >= kOverlap) {
    tail_.assign(data.substr(data.size() - kOverlap));
    return;
  }
  const std::size_t keep = std::min(tail_.size(), kOverlap - data.size());
  tail_.erase(0, tail_.size() - keep);
  tail_.append(data);
}

bool DownloadResume::next_after(bool broke_off, bool rest_refused, std::uint64_t in_sink,
                                std::optional<std::uint64_t> size) {
  if (rest_ && (rest_refused || diverged_)) {
    resumable_ = false;
    diverged_ = false;
    rest_.reset();
    tail_.clear();
    return true;
  }
  if (!broke_off || in_sink == 0 || retries_ >= kMaxRetries) return false;
  ++retries_;
  // Without a size to hold it to, a file whose server ignored REST could
  // pass for whole; and a resume from less than the overlap saves nothing.
  if (resumable_ && size && in_sink >= kOverlap && in_sink <= *size && tail_.size() == kOverlap) {
    rest_ = in_sink - kOverlap;
    size_ = size;
  } else {
    rest_.reset();
    tail_.clear();
  }
  return true;
}

}  // namespace qor
