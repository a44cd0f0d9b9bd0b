// test_defaults.cpp -- built into every test program, so that the
// sanitizers' options do not depend on the environment a test starts from.
#include <cstdlib>

extern "C" {

// intercept_tls_get_addr=0: GCC 12's runtime mistakes some dynamic TLS blocks
// for an old glibc's and its leak tracer dies at exit after a passing test.
const char* __asan_default_options() { return "detect_leaks=1:abort_on_error=0:intercept_tls_get_addr=0"; }

}

// The programs a test starts (the capture tool) are sanitized too and get the
// same fix through the environment.
static const int g_childOptions = setenv("ASAN_OPTIONS", "intercept_tls_get_addr=0", 0);

extern "C" {
const char* __lsan_default_options() { return "print_suppressions=0"; }

const char* __ubsan_default_options() { return "print_stacktrace=1:halt_on_error=1"; }

// Allocations the GL driver, EGL and SDL keep until the process ends.
const char* __lsan_default_suppressions() {
    return "leak:libGLX_mesa\nleak:libEGL_mesa\nleak:libGLdispatch\nleak:libgallium\nleak:swrast_dri\nleak:libLLVM\n"
           "leak:libSDL2\nleak:libdbus\nleak:libX11\nleak:libglapi\nleak:_dri.so\n";
}
}
