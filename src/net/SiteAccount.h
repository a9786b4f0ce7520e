// The member account the program signs in with, held so that the password leaves
// no copy behind: its buffers never grow (growing would leave the old bytes in
// freed memory) and are wiped when they go.
#pragma once

#include <string.h>

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vormla {

// Overwrites every byte a string owns, its spare capacity included; it is empty
// afterwards.
inline void WipeString(std::string& text) {
  text.resize(text.capacity());
  ::explicit_bzero(text.data(), text.size());
  text.clear();
}

// A byte text of fixed capacity, wiped on destruction. Moving hands the buffer on
// (a vector never keeps bytes inside the object, as a short std::string does).
class SecretText {
 public:
  SecretText() = default;
  explicit SecretText(size_t capacity) { bytes_.reserve(capacity); }
  explicit SecretText(std::string_view text) : SecretText(text.size()) { Append(text); }
  ~SecretText() { Wipe(); }
  SecretText(SecretText&& other) noexcept : bytes_(std::move(other.bytes_)) {}
  SecretText& operator=(SecretText&& other) noexcept {
    if (this != &other) {
      Wipe();
      bytes_ = std::move(other.bytes_);
    }
    return *this;
  }
  SecretText(const SecretText&) = delete;
  SecretText& operator=(const SecretText&) = delete;

  // False (and nothing appended) when the text does not fit the capacity.
  bool Append(std::string_view text) {
    if (text.size() > bytes_.capacity() - bytes_.size()) return false;
    bytes_.insert(bytes_.end(), text.begin(), text.end());
    return true;
  }
  bool Append(char c) { return Append(std::string_view(&c, 1)); }
  void Wipe() {
    bytes_.resize(bytes_.capacity());  // within the capacity: no new buffer
    if (!bytes_.empty()) ::explicit_bzero(bytes_.data(), bytes_.size());
    bytes_.clear();
  }

  std::string_view View() const { return {bytes_.data(), bytes_.size()}; }
  size_t Size() const { return bytes_.size(); }
  bool Empty() const { return bytes_.empty(); }
  size_t Capacity() const { return bytes_.capacity(); }
  // The last byte goes (a line end read too far); wiped.
  void DropLast() {
    if (bytes_.empty()) return;
    bytes_.back() = 0;
    bytes_.pop_back();
  }

 private:
  std::vector<char> bytes_;
};

// A login ID and password as the member typed them (UTF-8).
struct SiteAccount {
  SecretText LoginId;
  SecretText Password;
};

}  // namespace vormla
