# The demo's core and the capture tool compiled a second time on the gl11
# layer (OpenGL ES 3.0), beside the desktop build in the same tree, so that
# the tests compare the two. Only with the tests, and only when the tree
# itself is not the ES build.
if(NOT DEMO_TESTS OR DEMO_GLES3 OR WIN32)
  return()
endif()

# The libraries' imported targets, seen from here.
find_package(Threads REQUIRED)
pkg_check_modules(TURBOJPEG REQUIRED IMPORTED_TARGET libturbojpeg)
pkg_check_modules(X11 REQUIRED IMPORTED_TARGET x11)
pkg_check_modules(MPG123 REQUIRED IMPORTED_TARGET libmpg123)
pkg_check_modules(LIBDEFLATE REQUIRED IMPORTED_TARGET libdeflate)

get_target_property(core_sources demo_core SOURCES)
add_library(demo_core_es3 STATIC ${core_sources} ${CMAKE_SOURCE_DIR}/platform/sys_gles.cpp)
target_include_directories(demo_core_es3 PUBLIC ${CMAKE_SOURCE_DIR})
target_compile_definitions(demo_core_es3 PUBLIC DEMO_GLES3=1 DEMO_TEST_HOOKS=1)
target_link_libraries(demo_core_es3 PUBLIC gl11 demo_resources PkgConfig::SDL2 PkgConfig::EGL PkgConfig::TURBOJPEG
                      PkgConfig::X11 PRIVATE PkgConfig::MPG123)

get_target_property(capture_sources capture_core SOURCES)
get_target_property(capture_dir capture_core SOURCE_DIR)
list(TRANSFORM capture_sources PREPEND ${capture_dir}/)
add_library(capture_core_es3 STATIC ${capture_sources})
target_include_directories(capture_core_es3 PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(capture_core_es3 PUBLIC demo_core_es3 demo_png PkgConfig::LIBDEFLATE Threads::Threads)
add_executable(demo-capture-es3 ${CMAKE_SOURCE_DIR}/tools/capture/main.cpp)
target_link_libraries(demo-capture-es3 PRIVATE capture_core_es3 demo_png)
set_target_properties(demo-capture-es3 PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
