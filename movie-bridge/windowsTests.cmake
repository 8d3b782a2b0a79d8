# SPDX-License-Identifier: Apache-2.0
# The Windows build and its checks under Wine (included from CMakeLists.txt on Linux), label
# "windows". Fixtures keep `make test` one command: one test makes both cross builds
# (x86-64, and the i686 build the host application starts, linked only), another makes the
# Wine prefix inside the build tree; the x86-64 programs then run under Wine. Each reports
# itself skipped, with the reason, where a cross compiler or a working Wine is missing.
if(NOT KR_BUILD_TESTS)
    return()
endif()

set(krWindowsBuildDir ${CMAKE_BINARY_DIR}/windows)
set(krWinePrefix ${CMAKE_BINARY_DIR}/wine-prefix)
set(krWineRun ${PROJECT_SOURCE_DIR}/scripts/wine-run.sh run ${krWinePrefix})

kr_add_test(movieBridgeWindowsBuild LABELS windows SKIP_RETURN_CODE 77 TIMEOUT 900
    COMMAND ${PROJECT_SOURCE_DIR}/scripts/windows-build.sh ${PROJECT_SOURCE_DIR} ${krWindowsBuildDir}
            ${CMAKE_BUILD_TYPE})
set_tests_properties(movieBridgeWindowsBuild PROPERTIES FIXTURES_SETUP windowsBuild)

kr_add_test(windowsWinePrefix LABELS windows SKIP_RETURN_CODE 77 TIMEOUT 300
    COMMAND ${PROJECT_SOURCE_DIR}/scripts/wine-run.sh prepare ${krWinePrefix})
set_tests_properties(windowsWinePrefix PROPERTIES FIXTURES_SETUP winePrefix)

# The Win32 host program against moviehost.exe: codec list, mode r, mode w, failure codes
# and a host that dies.
kr_add_test(movieBridgeWineHost LABELS windows SKIP_RETURN_CODE 77 TIMEOUT 180
    COMMAND ${krWineRun} ${krWindowsBuildDir}/x86_64/bin/moviehostWin32HostTest.exe)
# The WMI driver-version query of the graphics check, printing what Wine reports.
kr_add_test(graphicsDriverVersionWine LABELS windows SKIP_RETURN_CODE 77 TIMEOUT 180
    COMMAND ${krWineRun} ${krWindowsBuildDir}/x86_64/bin/driverVersionProbe.exe)
set_tests_properties(movieBridgeWineHost graphicsDriverVersionWine
                     PROPERTIES FIXTURES_REQUIRED "windowsBuild;winePrefix")
