#include "NativeMessages.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <span>

namespace orvelle::nativehost {

using nlohmann::json;

namespace {

constexpr std::size_t kLengthBytes = sizeof(std::uint32_t);
// A tab list is an array of objects inside the message object.
constexpr int kMaxDepth = 3;

enum class Kind : std::uint8_t { Text, Integer, Boolean, Tab, TabList };

struct Field {
    const char* name;
    Kind kind;
    bool required;
};

struct Shape {
    Sender sender;
    const char* type;
    std::span<const Field> fields;
};

constexpr std::array kTabFields{
    Field{"id", Kind::Integer, true},      Field{"window", Kind::Integer, true},
    Field{"title", Kind::Text, true},      Field{"url", Kind::Text, true},
    Field{"opener", Kind::Integer, false},
};
constexpr std::array kHello{Field{"browser", Kind::Text, true}};
constexpr std::array kWindows{Field{"tabs", Kind::TabList, true}};
constexpr std::array kTab{Field{"tab", Kind::Tab, true}, Field{"loaded", Kind::Boolean, false}};
constexpr std::array kClosed{Field{"id", Kind::Integer, true}};
constexpr std::array kBlocked{Field{"tab", Kind::Integer, true}, Field{"url", Kind::Text, true}};
constexpr std::array kState{Field{"blocking", Kind::Boolean, true}};
constexpr std::array<Field, 0> kNoFields{};

const std::array kShapes{
    Shape{Sender::Browser, "hello", kHello},     Shape{Sender::Browser, "windows", kWindows},
    Shape{Sender::Browser, "tab", kTab},         Shape{Sender::Browser, "closed", kClosed},
    Shape{Sender::Browser, "blocked", kBlocked}, Shape{Sender::Program, "state", kState},
    Shape{Sender::Program, "sync", kNoFields},
};

bool HasShape(const json& object, std::span<const Field> fields, bool allowType);

bool FieldFits(const json& value, Kind kind) {
    switch (kind) {
    case Kind::Text:
        return value.is_string() && value.get_ref<const std::string&>().size() <= kMaxText;
    case Kind::Integer:
        // Browsers number tabs and windows from -1 (none) upwards within 32 bits.
        return value.is_number_integer() && value.get<std::int64_t>() >= -1 &&
               value.get<std::int64_t>() <= INT32_MAX;
    case Kind::Boolean:
        return value.is_boolean();
    case Kind::Tab:
        return value.is_object() && HasShape(value, kTabFields, false);
    case Kind::TabList:
        return value.is_array() && value.size() <= kMaxTabs &&
               std::all_of(value.begin(), value.end(), [](const json& tab) {
                   return tab.is_object() && HasShape(tab, kTabFields, false);
               });
    }
    return false;
}

bool HasShape(const json& object, std::span<const Field> fields, bool allowType) {
    for (auto it = object.begin(); it != object.end(); ++it) {
        const std::string& name = it.key();
        if (allowType && name == "type") {
            continue;
        }
        const auto field = std::find_if(fields.begin(), fields.end(),
                                        [&](const Field& known) { return name == known.name; });
        if (field == fields.end() || !FieldFits(it.value(), field->kind)) {
            return false;  // unknown fields are refused as well as wrong ones
        }
    }
    return std::all_of(fields.begin(), fields.end(), [&](const Field& field) {
        return !field.required || object.contains(field.name);
    });
}

}  // namespace

void FrameReader::Feed(std::string_view bytes) {
    if (broken_) {
        return;
    }
    buffer_.append(bytes);
    Cut();
}

void FrameReader::Cut() {
    std::size_t start = 0;
    while (buffer_.size() - start >= kLengthBytes) {
        std::uint32_t length = 0;
        std::memcpy(&length, buffer_.data() + start, kLengthBytes);
        if (length > maxMessage_) {
            broken_ = true;
            buffer_.clear();
            return;
        }
        if (buffer_.size() - start - kLengthBytes < length) {
            break;
        }
        ready_.emplace_back(buffer_, start + kLengthBytes, length);
        start += kLengthBytes + length;
    }
    buffer_.erase(0, start);
}

std::optional<std::string> FrameReader::Next() {
    if (ready_.empty()) {
        return std::nullopt;
    }
    std::string body = std::move(ready_.front());
    ready_.pop_front();
    return body;
}

std::optional<std::string> EncodeFrame(std::string_view body, std::size_t maxMessage) {
    if (body.size() > maxMessage || body.size() > UINT32_MAX) {
        return std::nullopt;
    }
    const auto length = static_cast<std::uint32_t>(body.size());
    std::string frame(kLengthBytes, '\0');
    std::memcpy(frame.data(), &length, kLengthBytes);
    frame.append(body);
    return frame;
}

std::optional<json> ParseMessage(std::string_view body, Sender sender) {
    bool tooDeep = false;
    const json::parser_callback_t depthLimit = [&tooDeep](int depth, json::parse_event_t, json&) {
        if (depth > kMaxDepth) {
            tooDeep = true;
            return false;
        }
        return true;
    };
    json message;
    try {
        message = json::parse(body, depthLimit);
    } catch (const json::exception&) {
        return std::nullopt;  // not JSON, or not UTF-8
    }
    if (tooDeep || !message.is_object()) {
        return std::nullopt;
    }
    const auto type = message.find("type");
    if (type == message.end() || !type->is_string()) {
        return std::nullopt;
    }
    for (const Shape& shape : kShapes) {
        if (shape.sender == sender && *type == shape.type) {
            if (!HasShape(message, shape.fields, true)) {
                return std::nullopt;
            }
            return message;
        }
    }
    return std::nullopt;
}

std::string SocketFolder() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime == nullptr || runtime[0] != '/') {
        return {};
    }
    return std::string(runtime) + "/orvelle";
}

std::string SocketPath() {
    const std::string folder = SocketFolder();
    return folder.empty() ? std::string() : folder + "/popup.sock";
}

}  // namespace orvelle::nativehost
