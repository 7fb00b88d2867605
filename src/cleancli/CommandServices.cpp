#include "CommandServices.h"

namespace orvelle::cleancli {

void LineLogSink::InsertAtCaret(const std::string& text) {
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t end = text.find("\r\n", start);
        const std::string piece =
            text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (!piece.empty()) {
            line_(piece, colour_);
        }
        if (end == std::string::npos) {
            break;
        }
        start = end + 2;
    }
}

}  // namespace orvelle::cleancli
