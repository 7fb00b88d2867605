# Warnings and sanitizers, applied per target through an interface library
# instead of global definitions.
add_library(orvelle_build_flags INTERFACE)
target_compile_options(orvelle_build_flags INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wnon-virtual-dtor
  -Wold-style-cast -Woverloaded-virtual -Wformat=2 -Wimplicit-fallthrough)
if(ORVELLE_WERROR)
  target_compile_options(orvelle_build_flags INTERFACE -Werror)
endif()
if(ORVELLE_SANITIZE)
  target_compile_options(orvelle_build_flags INTERFACE
    -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  target_link_options(orvelle_build_flags INTERFACE -fsanitize=address,undefined)
endif()
# Targets that use Qt add these on top of the common flags.
add_library(orvelle_qt_flags INTERFACE)
target_link_libraries(orvelle_qt_flags INTERFACE orvelle_build_flags)
target_compile_definitions(orvelle_qt_flags INTERFACE
  QT_NO_KEYWORDS QT_NO_URL_CAST_FROM_STRING QT_NO_CAST_FROM_BYTEARRAY)
