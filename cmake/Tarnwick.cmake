# Shared compile settings and helpers for every folder of the project.

add_library(tarnwick_options INTERFACE)
target_compile_options(tarnwick_options INTERFACE
    -Wall -Wextra -Wpedantic -Wnon-virtual-dtor
    $<$<CXX_COMPILER_ID:GNU>:-Wshadow=local> $<$<CXX_COMPILER_ID:Clang>:-Wshadow> -Wno-missing-field-initializers
    # g++ 12 reports overlapping copies inside std::string at -O3 that cannot happen (GCC PR 105329).
    $<$<CXX_COMPILER_ID:GNU>:-Wno-restrict>
    # Single-precision results must be the IEEE ones: no fused multiply-add, no fast math.
    -ffp-contract=off -fno-fast-math)
if(TARNWICK_WERROR)
    target_compile_options(tarnwick_options INTERFACE -Werror
        # Optimised g++ 12 builds also flag std::vector inserts in the tests (GCC PR 107852); they
        # stay warnings there, and errors in the sanitizer build that the tests run.
        $<$<AND:$<CXX_COMPILER_ID:GNU>,$<NOT:$<CONFIG:Debug>>>:-Wno-error=array-bounds>)
endif()
if(TARNWICK_FUZZ)
    # Instrument every library, not only the fuzz entry points, so the fuzzer sees their coverage.
    target_compile_options(tarnwick_options INTERFACE -fsanitize=fuzzer-no-link)
    # The instrumented code calls the coverage hooks: every program that links it needs the
    # fuzzer runtime without its main.
    target_link_options(tarnwick_options INTERFACE -fsanitize=fuzzer-no-link)
endif()
if(TARNWICK_SANITIZE)
    target_compile_options(tarnwick_options INTERFACE
        -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    target_link_options(tarnwick_options INTERFACE -fsanitize=address,undefined)
endif()
if(TARNWICK_TSAN)
    if(TARNWICK_SANITIZE)
        message(FATAL_ERROR "ThreadSanitizer cannot be combined with AddressSanitizer: build them apart")
    endif()
    # Every target of the tree, also those that do not link tarnwick_options: a race in a helper
    # library or a test program counts as much as one in the product.
    add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
    add_link_options(-fsanitize=thread)
endif()
find_package(Threads REQUIRED)
target_link_libraries(tarnwick_options INTERFACE Threads::Threads)

# tarnwick_library(<name> SOURCES ... [DEPS ...]): one static library per folder.
function(tarnwick_library name)
    cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
    add_library(${name} STATIC ${ARG_SOURCES})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} PUBLIC tarnwick_options ${ARG_DEPS})
endfunction()

# tarnwick_test(<name> SOURCES ... [DEPS ...]): one GoogleTest binary per folder.
function(tarnwick_test name)
    cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE tarnwick_options tarnwick_testsupport ${ARG_DEPS}
        GTest::gtest GTest::gmock)
    # A skipped case (a peer tool missing) shows as skipped, not as passed.
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 120
        PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" SKIP_REGULAR_EXPRESSION "\\[  SKIPPED \\]")
endfunction()
