#pragma once

#include <cstdint>

namespace orvelle::veilor64::errors {

// The age format's own failures, numbered beside the library's others. A wrong
// passphrase keeps the number and text every host already knows (64101).
inline constexpr std::int32_t kAgeHeaderDamaged = 64111;
inline constexpr const char* kAgeHeaderDamagedText =
    "The file is not a valid age file: its header is damaged.";
inline constexpr std::int32_t kAgeVersionUnknown = 64112;
inline constexpr const char* kAgeVersionUnknownText =
    "The file is an age file of a version this program does not know.";
inline constexpr std::int32_t kAgeWorkFactorTooHigh = 64113;
inline constexpr const char* kAgeWorkFactorTooHighText =
    "The age file asks for a passphrase work factor above 2^22; it is refused, as it "
    "would take minutes and gigabytes of memory.";
inline constexpr std::int32_t kAgeNeedsKey = 64114;
inline constexpr const char* kAgeNeedsKeyText =
    "The age file is not encrypted with a passphrase: it needs its recipient's key "
    "(decrypt it with the age tool and its -i option).";
inline constexpr std::int32_t kAgeHeaderAltered = 64115;
inline constexpr const char* kAgeHeaderAlteredText =
    "The age file's header has been altered: its check does not match.";
inline constexpr std::int32_t kAgeDamaged = 64116;
inline constexpr const char* kAgeDamagedText =
    "The age file is damaged: part of its contents fails its check.";
inline constexpr std::int32_t kAgeIncomplete = 64117;
inline constexpr const char* kAgeIncompleteText =
    "The age file is incomplete: it ends before its last part.";
inline constexpr std::int32_t kAgeTrailingData = 64118;
inline constexpr const char* kAgeTrailingDataText =
    "The age file has data after its end: it has been altered.";

inline constexpr std::int32_t kAgeArmorDamaged = 64119;
inline constexpr const char* kAgeArmorDamagedText =
    "The armored age file is damaged: its text is not the age format's strict armor.";

}  // namespace orvelle::veilor64::errors
