#pragma once

// Where a generated run draws its choices from: a seeded generator in the property tests, the
// fuzzer's input bytes in the fuzz targets. The same choices always build the same run.

#include <cstddef>
#include <cstdint>

namespace halvik::property {

class RandomSource {
 public:
  virtual ~RandomSource() = default;
  // A number from 0 to bound - 1; bound is at least 1.
  virtual std::uint32_t below(std::uint32_t bound) = 0;

  bool chance(std::uint32_t percent) { return below(100) < percent; }
  template <typename T, std::size_t N>
  const T& pick(const T (&choices)[N]) {
    return choices[below(N)];
  }
};

// SplitMix64: a few lines that give the same numbers with every compiler and standard library,
// which the standard distributions do not promise.
class SeededSource : public RandomSource {
 public:
  explicit SeededSource(std::uint64_t seed) : state_(seed) {}
  std::uint32_t below(std::uint32_t bound) override {
    std::uint64_t mixed = state_ += 0x9E3779B97F4A7C15u;
    mixed = (mixed ^ (mixed >> 30)) * 0xBF58476D1CE4E5B9u;
    mixed = (mixed ^ (mixed >> 27)) * 0x94D049BB133111EBu;
    return static_cast<std::uint32_t>((mixed ^ (mixed >> 31)) % bound);
  }

 private:
  std::uint64_t state_;
};

// The fuzzer's bytes, as few per choice as its bound needs; zeros once they run out, so that
// every input builds a whole run.
class ByteSource : public RandomSource {
 public:
  ByteSource(const std::uint8_t* data, std::size_t size) : next_(data), end_(data + size) {}
  std::uint32_t below(std::uint32_t bound) override {
    std::uint64_t value = 0;
    for (std::uint64_t range = 1; range < bound && next_ != end_; range <<= 8) {
      value = (value << 8) | *next_++;
    }
    return static_cast<std::uint32_t>(value % bound);
  }

 private:
  const std::uint8_t* next_;
  const std::uint8_t* end_;
};

}  // namespace halvik::property
