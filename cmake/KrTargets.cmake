# SPDX-License-Identifier: Apache-2.0
# One helper per kind of deliverable, so that adding a program, a framework library,
# a plug-in or a test is one call.

# A framework shared library: kr_add_framework_library(base SOURCES ... LIBS ...)
# builds target KRbase, file libKRbase.so, in the common output directory.
function(kr_add_framework_library name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;PUBLIC_LIBS" ${ARGN})
    add_library(KR${name} SHARED ${ARG_SOURCES})
    target_link_libraries(KR${name} PRIVATE ${ARG_LIBS} PUBLIC ${ARG_PUBLIC_LIBS})
    target_compile_definitions(KR${name} PRIVATE KR_BUILDING_FRAMEWORK)
endfunction()

# A program in the common output directory. Programs are installed unless TEST_ONLY:
#   kr_add_program(name SOURCES ... [LIBS ...] [TEST_ONLY])
function(kr_add_program name)
    cmake_parse_arguments(ARG "TEST_ONLY" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS})
    if(NOT ARG_TEST_ONLY)
        set_property(GLOBAL APPEND PROPERTY KR_INSTALLED_PROGRAMS ${name})
    endif()
endfunction()

# Plug-ins are shared libraries named libKR<name>.<kind>. They are shared (not modules)
# so that a user-interface module can link against the tool it extends.
#   kr_add_krcheck|krtool|krmodule(name SOURCES ... [LIBS ...] [EXPORTS file.exports] [TEST_ONLY])
# EXPORTS is a linker version script: hidden visibility alone would still export the framework's
# template members a plug-in instantiates, so the script keeps the dynamic symbols to the
# plug-in's own interface. Every plug-in but a TEST_ONLY one joins the install list
# (KR_INSTALLED_PLUGINS), which packaging installs and its tests check.
function(_kr_add_plugin kind name)
    cmake_parse_arguments(ARG "TEST_ONLY" "EXPORTS" "SOURCES;LIBS" ${ARGN})
    set(target libKR${name})
    add_library(${target} SHARED ${ARG_SOURCES})
    set_target_properties(${target} PROPERTIES PREFIX "" OUTPUT_NAME "libKR${name}" SUFFIX ".${kind}")
    target_link_libraries(${target} PRIVATE ${ARG_LIBS})
    # GCC marks template and inline statics (even std::to_string's) as process-unique
    # symbols, and a library holding one is never really unloaded: its termination and
    # static destructors would not run on unload.
    target_compile_options(${target} PRIVATE $<$<CXX_COMPILER_ID:GNU>:-fno-gnu-unique>)
    if(NOT KR_SANITIZE)
        target_link_options(${target} PRIVATE -Wl,--no-undefined)
    endif()
    if(ARG_EXPORTS)
        cmake_path(ABSOLUTE_PATH ARG_EXPORTS BASE_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR})
        target_link_options(${target} PRIVATE -Wl,--version-script=${ARG_EXPORTS})
        set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${ARG_EXPORTS})
    endif()
    if(NOT ARG_TEST_ONLY)
        set_property(GLOBAL APPEND PROPERTY KR_INSTALLED_PLUGINS ${target})
    endif()
endfunction()

function(kr_add_krcheck name)
    _kr_add_plugin(krcheck ${name} ${ARGN})
endfunction()

function(kr_add_krtool name)
    _kr_add_plugin(krtool ${name} ${ARGN})
endfunction()

function(kr_add_krmodule name)
    _kr_add_plugin(krmodule ${name} ${ARGN})
endfunction()

# Every test is registered with kr_add_test, whatever runs it:
#   kr_add_test(name SOURCES a.cpp b.cpp [LIBS ...] [DEPENDS ...] [LABELS ...] [TIMEOUT s])
#       a GoogleTest program in build/<preset>/tests; each test case becomes one CTest test.
#       It finds the programs and plug-ins through KR_BIN_DIR (the common output directory)
#       and the sources through KR_SOURCE_DIR.
#   kr_add_test(name COMMAND program args... [DEPENDS ...] [LABELS ...] [TIMEOUT s] [SKIP_RETURN_CODE n])
#       one CTest test running a script or program.
# Under a sanitizer every test runs with KR_TEST_ENVIRONMENT (its suppressions; CMakeLists.txt).
# LABELS say what kind of test it is, so that `ctest -L KIND` runs one kind:
#   unit         in-process, against the code and its platform layers (the default)
#   integration  starts the real programs, or installs and packages the tree
#   matrix       one property over many generated inputs
#   gui          needs an X server (the tests start their own Xvfb)
#   windows      the Windows-only sources, compiled by mingw-w64
#   style        the sources themselves (the format check)
set(KR_TEST_LABELS unit integration matrix gui windows style)

function(kr_add_test name)
    if(NOT KR_BUILD_TESTS)
        return()
    endif()
    cmake_parse_arguments(ARG "" "TIMEOUT;SKIP_RETURN_CODE" "SOURCES;COMMAND;LIBS;DEPENDS;LABELS" ${ARGN})
    if(NOT ARG_SOURCES AND NOT ARG_COMMAND OR ARG_SOURCES AND ARG_COMMAND)
        message(FATAL_ERROR "kr_add_test(${name}): give either SOURCES (a GoogleTest program) or COMMAND")
    endif()
    if(NOT ARG_LABELS)
        set(ARG_LABELS unit)
    endif()
    set(unknownLabels ${ARG_LABELS})
    list(REMOVE_ITEM unknownLabels ${KR_TEST_LABELS})
    if(unknownLabels)
        message(FATAL_ERROR "kr_add_test(${name}): unknown label ${unknownLabels}; known: ${KR_TEST_LABELS}")
    endif()
    if(NOT ARG_TIMEOUT)
        set(ARG_TIMEOUT 120)
    endif()
    # The limits are set for the optimised build; sanitized code and the programs it starts
    # run several times slower.
    if(KR_SANITIZE OR KR_TSAN)
        math(EXPR ARG_TIMEOUT "${ARG_TIMEOUT} * 3")
    endif()
    set(testEnvironment)
    if(KR_TEST_ENVIRONMENT)
        set(testEnvironment ENVIRONMENT "${KR_TEST_ENVIRONMENT}")
    endif()

    if(ARG_COMMAND)
        add_test(NAME ${name} COMMAND ${ARG_COMMAND})
        set_tests_properties(${name} PROPERTIES TIMEOUT ${ARG_TIMEOUT} LABELS "${ARG_LABELS}" ${testEnvironment})
        if(DEFINED ARG_SKIP_RETURN_CODE)
            set_tests_properties(${name} PROPERTIES SKIP_RETURN_CODE ${ARG_SKIP_RETURN_CODE})
        endif()
        return()
    endif()

    add_executable(${name} ${ARG_SOURCES})
    set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${KR_TEST_OUTPUT_DIR}
                                             BUILD_RPATH "${KR_OUTPUT_DIR}")
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
    target_compile_definitions(${name} PRIVATE KR_BIN_DIR="${KR_OUTPUT_DIR}"
                                               KR_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
    if(ARG_DEPENDS)
        add_dependencies(${name} ${ARG_DEPENDS})
    endif()
    gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60 TEST_LIST ${name}_TESTS
                         PROPERTIES TIMEOUT ${ARG_TIMEOUT} ${testEnvironment})
    # The test cases are known only when CTest runs the program, so their labels (a list,
    # which gtest_discover_tests cannot pass on) are set by a script included after them.
    set(labelScript ${CMAKE_CURRENT_BINARY_DIR}/${name}_labels.cmake)
    file(WRITE ${labelScript}
         "if(DEFINED ${name}_TESTS)\n  set_tests_properties(\${${name}_TESTS} PROPERTIES LABELS \"${ARG_LABELS}\")\nendif()\n")
    set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${labelScript})
endfunction()

# A libFuzzer target, built only in the fuzzing configuration (KR_FUZZ, clang; `make fuzz`):
#   kr_add_fuzz_target(name SOURCES ... [LIBS ...] SEEDS folder [MAX_LEN bytes])
# MAX_LEN raises the input limit of 4096 bytes for inputs whose smallest seed is larger.
# Call sites add what only they need. Each target joins KR_FUZZ_TARGETS with its seed folder;
# the top level writes that list for `make fuzz`, so a target is named in one place only.
function(kr_add_fuzz_target name)
    if(NOT KR_FUZZ)
        return()
    endif()
    cmake_parse_arguments(ARG "" "SEEDS;MAX_LEN" "SOURCES;LIBS" ${ARGN})
    if(NOT ARG_SEEDS)
        message(FATAL_ERROR "kr_add_fuzz_target(${name}): give the SEEDS folder")
    endif()
    cmake_path(ABSOLUTE_PATH ARG_SEEDS BASE_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR})
    if(NOT IS_DIRECTORY ${ARG_SEEDS})
        message(FATAL_ERROR "kr_add_fuzz_target(${name}): no seed folder ${ARG_SEEDS}")
    endif()
    add_executable(${name} ${ARG_SOURCES})
    target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
    target_link_libraries(${name} PRIVATE ${ARG_LIBS})
    set_target_properties(${name} PROPERTIES BUILD_RPATH "${KR_OUTPUT_DIR}")
    set(entry "${name}:${ARG_SEEDS}")
    if(ARG_MAX_LEN)
        string(APPEND entry ":${ARG_MAX_LEN}")
    endif()
    set_property(GLOBAL APPEND PROPERTY KR_FUZZ_TARGETS "${entry}")
endfunction()

# Compiles Windows-only sources with a mingw-w64 cross compiler (objects only, no link),
# so they cannot rot. Reported as skipped, not passed, where the compiler is absent.
function(kr_add_cross_compile_check name)
    if(NOT KR_BUILD_TESTS)
        return()
    endif()
    cmake_parse_arguments(ARG "" "COMPILER" "SOURCES;INCLUDES;DEFINES" ${ARGN})
    set(flags)
    foreach(dir IN LISTS ARG_INCLUDES)
        list(APPEND flags -I${dir})
    endforeach()
    foreach(def IN LISTS ARG_DEFINES)
        list(APPEND flags -D${def})
    endforeach()
    kr_add_test(${name} LABELS windows TIMEOUT 300 SKIP_RETURN_CODE 77
                COMMAND ${PROJECT_SOURCE_DIR}/scripts/cross-compile-check.sh ${ARG_COMPILER}
                        ${CMAKE_CURRENT_BINARY_DIR}/${name} ${flags} -- ${ARG_SOURCES})
endfunction()

# A benchmark program, built into build/<preset>/bench and run by bench/<area>/run.sh.
function(kr_add_bench_program name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${KR_BENCH_OUTPUT_DIR}
                                             BUILD_RPATH "${KR_OUTPUT_DIR}")
    target_link_libraries(${name} PRIVATE ${ARG_LIBS})
    target_compile_definitions(${name} PRIVATE KR_BIN_DIR="${KR_OUTPUT_DIR}")
endfunction()
