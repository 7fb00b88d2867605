#pragma once

#include "LogSink.h"

#include <nlohmann/json.hpp>
#include <string>

namespace orvelle::cleancli {

// The JSON documents carry names as the disk has them, which need not be UTF-8: such
// a text is written with each invalid byte as U+FFFD, and beside it "<field>Bytes"
// holds the exact bytes, each byte b as the character U+00b ("latin-1"), so that a
// reader gets them back by encoding that text as ISO 8859-1.
void SetText(nlohmann::json& object, const std::string& field, const std::string& value);

// A document as the command prints it: indented, invalid UTF-8 replaced.
[[nodiscard]] std::string Dump(const nlohmann::json& document);

// A log line in its colour, on a terminal only.
[[nodiscard]] std::string Coloured(const std::string& text, cleaning::LogColour colour,
                                   bool terminal);

}  // namespace orvelle::cleancli
