#pragma once

#include <cstdint>

namespace orvelle::veilor64 {

// The library's own error numbers and descriptions, as hosts have always seen them.
namespace errors {
inline constexpr std::int32_t kIncorrectPassword = 64101;
inline constexpr const char* kIncorrectPasswordText = "Incorrect Password.";
inline constexpr std::int32_t kPassPhraseTooLong = 64102;
// The text says "less than" although eight characters are accepted.
inline constexpr const char* kPassPhraseTooLongText = "Password must be less than 8 characters";
// A passphrase character the format's code page cannot hold: such a character
// would become "?" and let other passphrases open the file.
inline constexpr std::int32_t kPassPhraseCharacter = 64103;
// What a file to decrypt is, said plainly: no ".kdf" passphrase check can tell these.
inline constexpr std::int32_t kNotEncrypted = 64121;
inline constexpr const char* kNotEncryptedText =
    "This file is neither a .kdf file nor an age file: it is not encrypted, or not by "
    "this program.";
inline constexpr std::int32_t kEmptySource = 64122;
inline constexpr const char* kEmptySourceText = "This file is empty: there is nothing to decrypt.";
inline constexpr std::int32_t kFileNotFound = 64201;
inline constexpr const char* kFileNotFoundEncryptText = "File Not Found";
inline constexpr const char* kFileNotFoundDecryptText = "File Not Found.";
inline constexpr std::int32_t kPassPhraseMissing = 64301;
inline constexpr const char* kPassPhraseMissingText = "strPassPhrase argument not optional.";
inline constexpr std::int32_t kSourceMissing = 64302;
inline constexpr const char* kSourceMissingText = "strSourceFile argument not optional.";
inline constexpr std::int32_t kDestinationMissing = 64303;
inline constexpr const char* kDestinationMissingText = "strDestinationFile argument not optional.";

// The run-time's numbers for failures of the file system, passed on unchanged.
inline constexpr std::int32_t kInvalidProcedureCall = 5;
inline constexpr const char* kBusyText =
    "Another encryption or decryption of this library is still running.";
inline constexpr std::int32_t kOutOfMemory = 7;
inline constexpr const char* kOutOfMemoryText = "Out of memory";
inline constexpr std::int32_t kInternalError = 51;
inline constexpr const char* kInternalErrorText = "Internal error";
inline constexpr std::int32_t kDeviceIoError = 57;
inline constexpr const char* kDeviceIoErrorText = "Device I/O error";
inline constexpr std::int32_t kDiskFull = 61;
inline constexpr const char* kDiskFullText = "Disk full";
inline constexpr std::int32_t kInputPastEndOfFile = 62;
inline constexpr const char* kInputPastEndOfFileText = "Input past end of file";
inline constexpr std::int32_t kPermissionDenied = 70;
inline constexpr const char* kPermissionDeniedText = "Permission denied";
inline constexpr std::int32_t kPathFileAccessError = 75;
inline constexpr const char* kPathFileAccessErrorText = "Path/File access error";
inline constexpr std::int32_t kPathNotFound = 76;
inline constexpr const char* kPathNotFoundText = "Path not found";
}  // namespace errors

}  // namespace orvelle::veilor64
