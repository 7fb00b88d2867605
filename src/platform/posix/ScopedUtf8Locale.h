#pragma once

#include <locale.h>
#include <clocale>

namespace orvelle::platform::posix {

// Makes this thread's character set UTF-8 while it lives. libarchive converts entry
// names between the archive's character set and the locale's; the program's names
// are UTF-8 whatever the process locale says (the plain "C" locale would turn every
// non-ASCII name into a conversion failure).
class ScopedUtf8Locale {
public:
    ScopedUtf8Locale() noexcept
        : utf8_(::newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr))),
          previous_(utf8_ != static_cast<locale_t>(nullptr) ? ::uselocale(utf8_)
                                                            : static_cast<locale_t>(nullptr)) {}
    ~ScopedUtf8Locale() {
        if (utf8_ != static_cast<locale_t>(nullptr)) {
            ::uselocale(previous_);
            ::freelocale(utf8_);
        }
    }
    ScopedUtf8Locale(const ScopedUtf8Locale&) = delete;
    ScopedUtf8Locale& operator=(const ScopedUtf8Locale&) = delete;

private:
    locale_t utf8_;
    locale_t previous_;
};

}  // namespace orvelle::platform::posix
