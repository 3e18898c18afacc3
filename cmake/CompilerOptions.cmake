# Shared compile options: strict warnings as errors, library assertions, optional sanitizers.
add_library(cc_options INTERFACE)
target_compile_options(cc_options INTERFACE
    -Wall -Wextra -Wpedantic -Werror -Wshadow -Wnon-virtual-dtor -Woverloaded-virtual
    -Wcast-align -Wnull-dereference -Wformat=2 -Wimplicit-fallthrough)
target_compile_definitions(cc_options INTERFACE
    _GLIBCXX_ASSERTIONS QT_NO_FOREACH QT_DEPRECATED_WARNINGS)

if(CC_SANITIZE)
    target_compile_options(cc_options INTERFACE -fsanitize=address,undefined
                                                -fno-sanitize-recover=all -fno-omit-frame-pointer)
    target_link_options(cc_options INTERFACE -fsanitize=address,undefined)
endif()

# The fuzzing build instruments every library for libFuzzer's coverage feedback; the harnesses
# link the fuzzer's own main (tests/fuzz).
if(CC_BUILD_FUZZERS)
    if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
        message(FATAL_ERROR "CC_BUILD_FUZZERS needs clang (CXX=clang++)")
    endif()
    target_compile_options(cc_options INTERFACE -fsanitize=fuzzer-no-link,address,undefined
                                                -fno-sanitize-recover=all -fno-omit-frame-pointer)
    target_link_options(cc_options INTERFACE -fsanitize=address,undefined)
endif()
