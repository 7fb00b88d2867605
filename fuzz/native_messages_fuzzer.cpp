// Feeds arbitrary bytes to the native host's message reader, as a browser's
// extension or a process on the program's socket could send them, cut at the point
// the first byte chooses.
//
// Besides the sanitizers it checks what must hold for any input: the reader never
// hands out a message over its limit, cutting the stream anywhere gives the same
// messages, and every message the shapes accept is an object with a known type
// that, written again, is accepted again.

#include "FuzzRequire.h"
#include "NativeMessages.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace {

using orvelle::fuzz::Require;
using namespace orvelle::nativehost;

constexpr std::size_t kLimit = 4096;

std::vector<std::string> ReadAll(std::string_view bytes, std::size_t cut, bool& broken) {
    FrameReader reader(kLimit);
    std::vector<std::string> bodies;
    for (std::string_view part : {bytes.substr(0, cut), bytes.substr(cut)}) {
        reader.Feed(part);
        while (auto body = reader.Next()) {
            Require(body->size() <= kLimit);
            bodies.push_back(std::move(*body));
        }
    }
    broken = reader.Broken();
    return bodies;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    const std::size_t cut = bytes.empty() ? 0 : data[0] % (bytes.size() + 1);

    bool brokenWhole = false;
    bool brokenCut = false;
    const auto whole = ReadAll(bytes, bytes.size(), brokenWhole);
    const auto pieces = ReadAll(bytes, cut, brokenCut);
    Require(whole == pieces && brokenWhole == brokenCut);

    for (const std::string& body : whole) {
        for (const Sender sender : {Sender::Browser, Sender::Program}) {
            const auto message = ParseMessage(body, sender);
            if (!message) {
                continue;
            }
            Require(message->is_object() && message->at("type").is_string());
            Require(ParseMessage(message->dump(), sender).has_value());
        }
    }
    // The whole input as one message body too.
    for (const Sender sender : {Sender::Browser, Sender::Program}) {
        if (const auto message = ParseMessage(bytes, sender)) {
            Require(ParseMessage(message->dump(), sender).has_value());
        }
    }
    return 0;
}
