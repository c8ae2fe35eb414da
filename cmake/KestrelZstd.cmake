# libzstd as the imported target Kestrel::zstd, linked statically in both trees: Debian's
# libzstd-dev in the host trees, the mingw build scripts/setup makes in KESTREL_MINGW_DEPS in the
# windows tree.
if(TARGET Kestrel::zstd)
  return()
endif()
if(KESTREL_WINDOWS)
  set(KESTREL_MINGW_DEPS "${PROJECT_SOURCE_DIR}/build/mingw-deps" CACHE PATH
      "Prefix of the mingw builds of libpng, libjpeg-turbo and libzstd (made by scripts/setup)")
  if(NOT EXISTS "${KESTREL_MINGW_DEPS}/include/zstd.h" OR
     NOT EXISTS "${KESTREL_MINGW_DEPS}/lib/libzstd.a")
    message(FATAL_ERROR "No mingw libzstd in ${KESTREL_MINGW_DEPS}: run scripts/setup")
  endif()
  set(KESTREL_ZSTD_INCLUDE_DIR "${KESTREL_MINGW_DEPS}/include")
  set(KESTREL_ZSTD_LIBRARY "${KESTREL_MINGW_DEPS}/lib/libzstd.a")
else()
  find_path(KESTREL_ZSTD_INCLUDE_DIR zstd.h REQUIRED)
  find_library(KESTREL_ZSTD_LIBRARY NAMES libzstd.a zstd REQUIRED)
endif()
add_library(Kestrel::zstd STATIC IMPORTED GLOBAL)
set_target_properties(Kestrel::zstd PROPERTIES
  IMPORTED_LOCATION "${KESTREL_ZSTD_LIBRARY}"
  INTERFACE_INCLUDE_DIRECTORIES "${KESTREL_ZSTD_INCLUDE_DIR}")
