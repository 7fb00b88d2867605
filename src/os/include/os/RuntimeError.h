#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace orvelle::os {

// A run-time error as the program reports it: a number and a description.
// Handlers catch it and show the error box; library errors travel in it too.
class RuntimeError : public std::runtime_error {
public:
    RuntimeError(std::int32_t number, const std::string& description)
        : std::runtime_error(description), number_(number), description_(description) {}

    [[nodiscard]] std::int32_t Number() const noexcept { return number_; }
    [[nodiscard]] const std::string& Description() const noexcept { return description_; }

private:
    std::int32_t number_;
    std::string description_;
};

// The run-time's own error numbers that the program raises itself.
namespace errors {
inline constexpr std::int32_t kOverflow = 6;
inline constexpr std::int32_t kTypeMismatch = 13;
inline constexpr std::int32_t kFileNotFound = 53;
inline constexpr std::int32_t kInputPastEndOfFile = 62;
inline constexpr std::int32_t kPathNotFound = 76;
inline constexpr std::int32_t kPermissionDenied = 70;
inline constexpr std::int32_t kPathFileAccessError = 75;
inline constexpr std::int32_t kDeviceIoError = 57;
inline constexpr std::int32_t kDiskFull = 61;
inline constexpr std::int32_t kInvalidProcedureCall = 5;
inline constexpr std::int32_t kSubscriptOutOfRange = 9;
inline constexpr std::int32_t kObjectRequired = 424;
}  // namespace errors

}  // namespace orvelle::os
