# Shared compile options: strict warnings as errors, library assertions, optional sanitizers.
add_library(cc_options INTERFACE)
target_compile_definitions(cc_options INTERFACE QT_NO_FOREACH QT_DEPRECATED_WARNINGS)
if(MSVC)
    # /W4 rather than /Wall: /Wall adds the informational warnings about padding, inlining and
    # Spectre mitigations that the system and Qt headers raise by the hundred.
    # /permissive-: standard conformance. /utf-8: sources and execution character set.
    # /Zc:__cplusplus: the real value of __cplusplus. /EHsc: standard C++ exceptions.
    target_compile_options(cc_options INTERFACE /W4 /WX /permissive- /utf-8 /Zc:__cplusplus /EHsc)
    if(CC_SANITIZE)
        target_compile_options(cc_options INTERFACE /fsanitize=address)
    endif()
else()
    target_compile_options(cc_options INTERFACE
        -Wall -Wextra -Wpedantic -Werror -Wshadow -Wnon-virtual-dtor -Woverloaded-virtual
        -Wcast-align -Wnull-dereference -Wformat=2 -Wimplicit-fallthrough)
    target_compile_definitions(cc_options INTERFACE _GLIBCXX_ASSERTIONS)
    if(CC_SANITIZE)
        target_compile_options(cc_options INTERFACE -fsanitize=address,undefined
                                                    -fno-sanitize-recover=all
                                                    -fno-omit-frame-pointer)
        target_link_options(cc_options INTERFACE -fsanitize=address,undefined)
    endif()
endif()
if(WIN32)
    # windows.h without its min and max macros, which would break std::min and std::max.
    target_compile_definitions(cc_options INTERFACE NOMINMAX)
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
