#include "AgeArmor.h"

#include "AgeErrors.h"
#include "AgeFormat.h"

#include <algorithm>
#include <cstring>

namespace orvelle::veilor64::age {
namespace {

constexpr std::size_t kArmorColumns = 64;
// Longer lines are refused before they are read whole.
constexpr std::size_t kMaxArmorLine = 128;

bool IsBlank(int c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

[[noreturn]] void ThrowArmorFailure() {
    throw AgeError(Failure::Armor, errors::kAgeArmorDamaged, errors::kAgeArmorDamagedText);
}

}  // namespace

bool LooksArmored(const std::uint8_t* data, std::size_t size) {
    std::size_t at = 0;
    while (at < size && IsBlank(data[at])) {
        ++at;
    }
    return size - at >= kArmorBegin.size() &&
           std::memcmp(data + at, kArmorBegin.data(), kArmorBegin.size()) == 0;
}

int ArmoredSource::NextByte() {
    if (position_ == end_) {
        position_ = 0;
        end_ = raw_->Read(buffer_, sizeof buffer_);
        if (end_ == 0) {
            return -1;
        }
    }
    return buffer_[position_++];
}

bool ArmoredSource::NextLine(std::string& line, bool& ended) {
    line.clear();
    while (true) {
        const int c = NextByte();
        if (c < 0) {
            ended = false;
            return !line.empty();
        }
        if (c == '\n') {
            if (!line.empty() && line.back() == '\r') {
                line.pop_back();
            }
            ended = true;
            return true;
        }
        if (line.size() == kMaxArmorLine) {
            ThrowArmorFailure();
        }
        line += static_cast<char>(c);
    }
}

void ArmoredSource::DecodeLine() {
    std::string line;
    bool ended = false;
    if (state_ == State::Before) {
        int c = NextByte();
        while (IsBlank(c)) {
            c = NextByte();
        }
        if (c < 0) {
            ThrowArmorFailure();
        }
        --position_;  // the line's first character, read again below
        if (!NextLine(line, ended) || !ended || line != kArmorBegin) {
            ThrowArmorFailure();
        }
        state_ = State::Body;
    }
    if (!NextLine(line, ended)) {
        ThrowArmorFailure();  // no end line
    }
    if (line == kArmorEnd) {
        // Only blanks may follow.
        for (int c = NextByte(); c >= 0; c = NextByte()) {
            if (!IsBlank(c)) {
                ThrowArmorFailure();
            }
        }
        state_ = State::After;
        return;
    }
    // A data line: none after the last, none without a line end, none empty or
    // longer than 64 columns, whole groups of four with padding only at the end.
    if (state_ == State::LastLineRead || !ended || line.empty() || line.size() > kArmorColumns ||
        line.size() % 4 != 0) {
        ThrowArmorFailure();
    }
    const std::size_t padding =
        line.size() - std::min(line.find('='), line.size());  // '=' and after
    if (padding > 2 || line.find_first_not_of('=', line.size() - padding) != std::string::npos) {
        ThrowArmorFailure();
    }
    const std::string_view text = std::string_view(line).substr(0, line.size() - padding);
    const auto bytes = DecodeBase64(text);
    if (!bytes || (padding > 0 && text.size() % 4 == 0)) {
        ThrowArmorFailure();
    }
    if (line.size() < kArmorColumns || padding > 0) {
        state_ = State::LastLineRead;
    }
    std::copy(bytes->begin(), bytes->end(), decoded_);
    decodedPosition_ = 0;
    decodedEnd_ = bytes->size();
}

std::size_t ArmoredSource::Read(std::uint8_t* buffer, std::size_t size) {
    std::size_t got = 0;
    while (got < size) {
        if (decodedPosition_ == decodedEnd_) {
            if (state_ == State::After) {
                break;
            }
            DecodeLine();
            continue;
        }
        const std::size_t take = std::min(size - got, decodedEnd_ - decodedPosition_);
        std::memcpy(buffer + got, decoded_ + decodedPosition_, take);
        decodedPosition_ += take;
        got += take;
    }
    return got;
}

}  // namespace orvelle::veilor64::age
