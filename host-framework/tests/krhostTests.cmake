# SPDX-License-Identifier: Apache-2.0
# Tests of krhost, included from host-framework/src/krhost.
kr_add_test(krhostScriptTests LABELS integration SOURCES ${PROJECT_SOURCE_DIR}/host-framework/tests/krhostScriptTests.cpp
             LIBS krhostSession DEPENDS krhost)
kr_add_test(krhostSessionTests SOURCES ${PROJECT_SOURCE_DIR}/host-framework/tests/krhostSessionTests.cpp
             LIBS krhostSession)
