#pragma once

#include <locale.h>
#include <clocale>

namespace orvelle::os::posix {

// Makes this thread's character set that of `name` while it lives.
class ScopedLocale {
public:
    explicit ScopedLocale(const char* name) noexcept
        : locale_(::newlocale(LC_CTYPE_MASK, name, static_cast<locale_t>(nullptr))),
          previous_(locale_ != static_cast<locale_t>(nullptr) ? ::uselocale(locale_)
                                                              : static_cast<locale_t>(nullptr)) {}
    ~ScopedLocale() {
        if (locale_ != static_cast<locale_t>(nullptr)) {
            ::uselocale(previous_);
            ::freelocale(locale_);
        }
    }
    ScopedLocale(const ScopedLocale&) = delete;
    ScopedLocale& operator=(const ScopedLocale&) = delete;

private:
    locale_t locale_;
    locale_t previous_;
};

// Makes this thread's character set UTF-8 while it lives. libarchive converts entry
// names between the archive's character set and the locale's; the program's names
// are UTF-8 whatever the process locale says (the plain "C" locale would turn every
// non-ASCII name into a conversion failure).
class ScopedUtf8Locale : public ScopedLocale {
public:
    ScopedUtf8Locale() noexcept : ScopedLocale("C.UTF-8") {}
};

// The plain "C" character set, in which libarchive keeps names as the bytes they are:
// for a file name that is not UTF-8, which must come back under the same bytes.
class ScopedBytesLocale : public ScopedLocale {
public:
    ScopedBytesLocale() noexcept : ScopedLocale("C") {}
};

}  // namespace orvelle::os::posix
