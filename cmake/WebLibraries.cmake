# The browser build (emscripten): the libraries tools/web/build-deps.sh
# built from Debian's source packages into DEMO_WEB_DEPS (make web passes
# build-deps-web/prefix), as imported targets.
set(DEMO_WEB_DEPS "" CACHE PATH "Prefix of the WebAssembly libraries (tools/web/build-deps.sh)")
if(NOT EXISTS "${DEMO_WEB_DEPS}/lib/libturbojpeg.a" OR NOT EXISTS "${DEMO_WEB_DEPS}/lib/libmpg123.a")
  message(FATAL_ERROR "DEMO_WEB_DEPS=${DEMO_WEB_DEPS} holds no WebAssembly libraries: run "
                      "tools/web/build-deps.sh build-deps-web (make web does)")
endif()
foreach(lib TurboJPEG:turbojpeg MPG123:mpg123)
  string(REPLACE ":" ";" pair "${lib}")
  list(GET pair 0 name)
  list(GET pair 1 file)
  add_library(WebLibs::${name} STATIC IMPORTED)
  set_target_properties(WebLibs::${name} PROPERTIES
    IMPORTED_LOCATION "${DEMO_WEB_DEPS}/lib/lib${file}.a"
    INTERFACE_INCLUDE_DIRECTORIES "${DEMO_WEB_DEPS}/include")
endforeach()
