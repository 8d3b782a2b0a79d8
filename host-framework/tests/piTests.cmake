# SPDX-License-Identifier: Apache-2.0
# Tests of the tool plug-in interface (KRpluginAPI), included from host-framework/src/pluginAPI.
set(piTestDir ${PROJECT_SOURCE_DIR}/host-framework/tests)

kr_add_test(piDocumentTests SOURCES ${piTestDir}/piDocumentTests.cpp LIBS KRpluginAPI)
kr_add_test(piDocumentExactnessTests SOURCES ${piTestDir}/piDocumentExactnessTests.cpp LIBS KRpluginAPI)
kr_add_test(piImageModifierTests SOURCES ${piTestDir}/piImageModifierTests.cpp LIBS KRpluginAPI)
kr_add_test(pxProcessingTests SOURCES ${piTestDir}/pxProcessingTests.cpp LIBS KRpluginAPI)
kr_add_test(uiEditorTests SOURCES ${piTestDir}/uiEditorTests.cpp LIBS KRpluginAPI)
kr_add_test(brBrowserTests SOURCES ${piTestDir}/brBrowserTests.cpp LIBS KRpluginAPI)
kr_add_test(piValueTests SOURCES ${piTestDir}/piValueTests.cpp LIBS KRpluginAPI)
kr_add_test(pxRequestMgrTests SOURCES ${piTestDir}/pxRequestMgrTests.cpp LIBS KRpluginAPI)
# Random documents of every tool plug-in through save, open, undo and redo (`make soak` runs
# it longer).
kr_add_test(piDocumentPropertyTests LABELS unit matrix SOURCES ${piTestDir}/piDocumentPropertyTests.cpp
            LIBS KRpluginAPI DEPENDS libKRswitcher libKRnotes libKRlut1D TIMEOUT 300)
