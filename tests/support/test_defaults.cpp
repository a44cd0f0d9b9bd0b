// test_defaults.cpp -- built into every test program, so its settings do not
// depend on the environment a test is started from: the sanitizers' options,
// and DEMO_SOURCE_DIR / DEMO_BINARY_DIR for code that reads them from the
// environment (scripts and tools a test starts inherit them too).
#include <cstdlib>

namespace {
struct ExportFolders {
    ExportFolders() {
        setenv("DEMO_SOURCE_DIR", DEMO_SOURCE_DIR, 0);
        setenv("DEMO_BINARY_DIR", DEMO_BINARY_DIR, 0);
    }
} exportFolders;
}  // namespace

extern "C" {

// intercept_tls_get_addr=0: the sanitizer runtime of GCC 12 takes a dynamic
// TLS block whose address happens to lie at a certain offset in its page
// for an old glibc's and reads a bogus range from it, and the leak check's
// tracer then dies at exit ("Tracer caught signal 11") after a passing test.
const char* __asan_default_options() { return "detect_leaks=1:abort_on_error=0:intercept_tls_get_addr=0"; }

const char* __lsan_default_options() { return "print_suppressions=0"; }

const char* __ubsan_default_options() { return "print_stacktrace=1:halt_on_error=1"; }

// Allocations the GL driver, EGL and SDL keep until the process ends.
const char* __lsan_default_suppressions() {
    return "leak:libGLX_mesa\nleak:libEGL_mesa\nleak:libGLdispatch\nleak:libgallium\nleak:swrast_dri\nleak:libLLVM\n"
           "leak:libSDL2\nleak:libdbus\nleak:libX11\nleak:libglapi\nleak:_dri.so\n";
}
}
