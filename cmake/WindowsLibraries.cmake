# The libraries of the Windows build, cross-built by tools/windows/build-deps.sh
# into DEMO_WIN_DEPS (its prefix folder), and the system's own.
set(DEMO_WIN_DEPS "" CACHE PATH "Prefix of the cross-built Windows libraries")
if(NOT EXISTS "${DEMO_WIN_DEPS}/VERSIONS")
  message(FATAL_ERROR "DEMO_WIN_DEPS=${DEMO_WIN_DEPS}: run tools/windows/build-deps.sh first (make windows does)")
endif()

# <GL/gl.h> and <GL/glu.h> pull in <windows.h> unless these are defined, and
# <windows.h> would clash with the Win32-like names of platform/platform.h.
# Only platform/sys_native_win.cpp sees <windows.h>.
add_compile_definitions(WINGDIAPI=__declspec\(dllimport\) APIENTRY=__stdcall CALLBACK=__stdcall)

add_library(WinLibs::GL INTERFACE IMPORTED)
set_target_properties(WinLibs::GL PROPERTIES INTERFACE_LINK_LIBRARIES "glu32;opengl32")

# SDL2, static, and the system libraries it calls.
add_library(WinLibs::SDL2 INTERFACE IMPORTED)
set_target_properties(WinLibs::SDL2 PROPERTIES
  INTERFACE_INCLUDE_DIRECTORIES "${DEMO_WIN_DEPS}/include/SDL2"
  INTERFACE_LINK_LIBRARIES
    "${DEMO_WIN_DEPS}/lib/libSDL2.a;user32;gdi32;winmm;imm32;ole32;oleaut32;version;uuid;advapi32;setupapi;shell32")

add_library(WinLibs::TurboJPEG INTERFACE IMPORTED)
set_target_properties(WinLibs::TurboJPEG PROPERTIES
  INTERFACE_INCLUDE_DIRECTORIES "${DEMO_WIN_DEPS}/include"
  INTERFACE_LINK_LIBRARIES "${DEMO_WIN_DEPS}/lib/libturbojpeg.a")

# libmpg123 stays a DLL (LGPL): the import library here, the DLL in the zip.
add_library(WinLibs::MPG123 INTERFACE IMPORTED)
set_target_properties(WinLibs::MPG123 PROPERTIES
  INTERFACE_INCLUDE_DIRECTORIES "${DEMO_WIN_DEPS}/include"
  INTERFACE_LINK_LIBRARIES "${DEMO_WIN_DEPS}/lib/libmpg123.dll.a")
set(DEMO_WIN_DLLS "${DEMO_WIN_DEPS}/bin/libmpg123-0.dll")
