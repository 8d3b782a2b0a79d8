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

# A program in the common output directory.
function(kr_add_program name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS})
endfunction()

# Plug-ins are shared libraries named libKR<name>.<kind>. They are shared (not modules)
# so that a user-interface module can link against the tool it extends.
function(_kr_add_plugin kind name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
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

# A GoogleTest executable; each test case becomes one CTest test. Tests find the
# programs and plug-ins through the KR_BIN_DIR definition (the common output directory).
function(kr_add_gtest name)
    if(NOT KR_BUILD_TESTS)
        return()
    endif()
    cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;LIBS;DEPENDS;LABELS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${KR_TEST_OUTPUT_DIR}
                                             BUILD_RPATH "${KR_OUTPUT_DIR}")
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
    target_compile_definitions(${name} PRIVATE KR_BIN_DIR="${KR_OUTPUT_DIR}"
                                               KR_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
    if(ARG_DEPENDS)
        add_dependencies(${name} ${ARG_DEPENDS})
    endif()
    if(NOT ARG_TIMEOUT)
        set(ARG_TIMEOUT 120)
    endif()
    # LABELS name groups of tests that ctest -L can run alone (the read matrix: "matrix").
    gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
                         PROPERTIES TIMEOUT ${ARG_TIMEOUT} LABELS "${ARG_LABELS}")
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
    add_test(NAME ${name}
             COMMAND ${PROJECT_SOURCE_DIR}/scripts/cross-compile-check.sh ${ARG_COMPILER}
                     ${CMAKE_CURRENT_BINARY_DIR}/${name} ${flags} -- ${ARG_SOURCES})
    set_tests_properties(${name} PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 300)
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
