// SPDX-License-Identifier: Apache-2.0
// Under the sanitizers, leak reports of Mesa's own process-lifetime allocations would fail
// every test that opens an OpenGL context. Mesa's code has no frame pointers, so the fast
// unwinder loses the stack before it reaches the library the suppression names. The runtime
// looks these hooks up by name, so they must stay visible.
#define KR_SANITIZER_HOOK extern "C" __attribute__((visibility("default"), used))

KR_SANITIZER_HOOK const char* __asan_default_options() {
    return "fast_unwind_on_malloc=0";
}
KR_SANITIZER_HOOK const char* __lsan_default_options() {
    return "print_suppressions=0";
}
KR_SANITIZER_HOOK const char* __lsan_default_suppressions() {
    return "leak:libGLX_mesa.so\n";
}
