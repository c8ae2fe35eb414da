# Test and fuzz target helpers. Included by the top-level CMakeLists.txt after GoogleTest is added.
#
#   kestrel_add_test(NAME <name> SOURCES <files...> [LIBS <libs...>] [TIMEOUT <seconds>] [SERIAL])
#       Builds a GoogleTest executable <name> from SOURCES, linked with LIBS, gmock and gtest_main
#       (so the sources contain no main()), with kestrel_warnings(). Every TEST() in it becomes a
#       CTest test named "<name>.<Suite>.<Case>"; discovery runs `<name> --gtest_list_tests` when
#       ctest starts (DISCOVERY_MODE PRE_TEST), in the windows tree through the crosscompiling
#       emulator (scripts/wine-run). Tests run with the directory that defined them in the binary
#       tree (CMAKE_CURRENT_BINARY_DIR) as working directory; put fixtures there or locate them
#       from the source tree. TIMEOUT (default 120 s) is per test case. SERIAL runs each case
#       with no other test beside it (RUN_SERIAL): for tests that read the shared screen.
#       In the windows tree every executable, tests included, links -static (top-level
#       CMakeLists.txt): no mingw DLLs are needed under Wine.
#
#   kestrel_add_fuzzer(NAME <name> SOURCES <files...> [LIBS <libs...>])
#       When KESTREL_FUZZ is ON (host-asan preset, clang only), builds a libFuzzer executable
#       <name> (-fsanitize=fuzzer plus ASan/UBSan) whose sources define LLVMFuzzerTestOneInput.
#       Otherwise does nothing, so fuzz/CMakeLists.txt can call it unconditionally.
#       Each fuzzer is recorded in ${CMAKE_BINARY_DIR}/kestrel-fuzzers.txt as "<name>\t<path>"
#       (one line each); scripts/test runs them all with seeds from fuzz/corpus/<name>/.
include_guard(GLOBAL)
include(GoogleTest)

option(KESTREL_FUZZ "Build libFuzzer targets (clang with ASan/UBSan only)" OFF)

if(KESTREL_FUZZ AND NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  message(FATAL_ERROR "KESTREL_FUZZ needs clang (libFuzzer); use the host-asan preset")
endif()

# The first Wine start of a run (prefix check, wineserver start) is slow: allow for it.
if(CMAKE_CROSSCOMPILING)
  set(KESTREL_TEST_DISCOVERY_TIMEOUT 300)
else()
  set(KESTREL_TEST_DISCOVERY_TIMEOUT 60)
endif()

set(KESTREL_FUZZ_FLAGS
  -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)

function(kestrel_add_test)
  cmake_parse_arguments(PARSE_ARGV 0 arg "SERIAL" "NAME;TIMEOUT" "SOURCES;LIBS")
  if(NOT arg_NAME OR NOT arg_SOURCES)
    message(FATAL_ERROR "kestrel_add_test needs NAME and SOURCES")
  endif()
  if(arg_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "kestrel_add_test(${arg_NAME}): unknown arguments ${arg_UNPARSED_ARGUMENTS}")
  endif()
  if(NOT arg_TIMEOUT)
    set(arg_TIMEOUT 120)
  endif()
  set(serial "")
  if(arg_SERIAL)
    set(serial RUN_SERIAL TRUE)
  endif()

  add_executable(${arg_NAME} ${arg_SOURCES})
  target_link_libraries(${arg_NAME} PRIVATE ${arg_LIBS} GTest::gmock GTest::gtest_main)
  kestrel_warnings(${arg_NAME})

  gtest_discover_tests(${arg_NAME}
    TEST_PREFIX "${arg_NAME}."
    WORKING_DIRECTORY "${CMAKE_CURRENT_BINARY_DIR}"
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT ${KESTREL_TEST_DISCOVERY_TIMEOUT}
    PROPERTIES TIMEOUT ${arg_TIMEOUT} ${serial})
endfunction()

function(kestrel_add_fuzzer)
  cmake_parse_arguments(PARSE_ARGV 0 arg "" "NAME" "SOURCES;LIBS")
  if(NOT arg_NAME OR NOT arg_SOURCES)
    message(FATAL_ERROR "kestrel_add_fuzzer needs NAME and SOURCES")
  endif()
  if(arg_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "kestrel_add_fuzzer(${arg_NAME}): unknown arguments ${arg_UNPARSED_ARGUMENTS}")
  endif()
  if(NOT KESTREL_FUZZ)
    return()
  endif()

  add_executable(${arg_NAME} ${arg_SOURCES})
  target_link_libraries(${arg_NAME} PRIVATE ${arg_LIBS})
  kestrel_warnings(${arg_NAME})
  target_compile_options(${arg_NAME} PRIVATE ${KESTREL_FUZZ_FLAGS})
  target_link_options(${arg_NAME} PRIVATE ${KESTREL_FUZZ_FLAGS})
  set_property(GLOBAL APPEND PROPERTY KESTREL_FUZZERS ${arg_NAME})
endfunction()

# Writes ${CMAKE_BINARY_DIR}/kestrel-fuzzers.txt (empty when there are none). Called once, at the
# end of the top-level CMakeLists.txt, after every kestrel_add_fuzzer() has run.
function(kestrel_write_fuzzer_list)
  get_property(fuzzers GLOBAL PROPERTY KESTREL_FUZZERS)
  set(content "")
  foreach(name IN LISTS fuzzers)
    string(APPEND content "${name}\t$<TARGET_FILE:${name}>\n")
  endforeach()
  file(GENERATE OUTPUT "${CMAKE_BINARY_DIR}/kestrel-fuzzers.txt" CONTENT "${content}")
endfunction()
