#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace halvik {

// The program's one failure type: a numbered error with the name of the object that raised it
// and a description, in the manner of an automation error.
class Failure : public std::runtime_error {
 public:
  Failure(std::uint32_t number, std::string source, const std::string& description)
      : std::runtime_error(description), number_(number), source_(std::move(source)) {}

  std::uint32_t number() const { return number_; }
  const std::string& source() const { return source_; }
  std::string description() const { return what(); }

 private:
  std::uint32_t number_;
  std::string source_;
};

// A system error code as an error number, as HRESULT_FROM_WIN32 makes it: a positive code in the
// low 16 bits, with the failure bit and FACILITY_WIN32 set above it; 0 and numbers that are
// already errors stay as they are.
constexpr std::uint32_t hresultFromWin32(std::uint32_t code) {
  if (static_cast<std::int32_t>(code) <= 0) return code;
  return 0x80070000u | (code & 0xFFFFu);
}

}  // namespace halvik
