# Compiler settings for the project's own targets (never for third-party code such as GoogleTest).
#
#   kestrel_options            INTERFACE library carrying the project's warning flags.
#                              Link it PRIVATE into every library and executable you add:
#                                target_link_libraries(<target> PRIVATE kestrel_options)
#                              (PRIVATE: the flags apply to the target's own sources only).
#   kestrel_warnings(<target>) the same, as one call. kestrel_add_test / kestrel_add_fuzzer
#                              already do it for their targets.
#
# Options:
#   KESTREL_WERROR   treat warnings as errors in our own targets (default OFF)

option(KESTREL_WERROR "Treat compiler warnings as errors in Kestrel's own targets" OFF)

set(KESTREL_WARNING_FLAGS -Wall -Wextra)
if(KESTREL_WERROR)
  list(APPEND KESTREL_WARNING_FLAGS -Werror)
endif()

add_library(kestrel_options INTERFACE)
# Only C and C++: resource scripts in the same target go to windres, which rejects -W flags.
target_compile_options(kestrel_options INTERFACE
  "$<$<COMPILE_LANGUAGE:C,CXX>:${KESTREL_WARNING_FLAGS}>")

function(kestrel_warnings target)
  target_link_libraries(${target} PRIVATE kestrel_options)
endfunction()
