# The browser build's page: demo.js and demo.wasm (every picture and the
# music inside, as on the desktop) beside index.html, its style and its
# script, in DEMO_WEB_OUT; then demo-web.zip of that folder.
set(DEMO_WEB_OUT "${CMAKE_BINARY_DIR}/site" CACHE PATH "Folder of the static page")

add_executable(demo web/main_web.cpp)
target_link_libraries(demo PRIVATE demo_core)
set_target_properties(demo PROPERTIES SUFFIX ".js" RUNTIME_OUTPUT_DIRECTORY "${DEMO_WEB_OUT}")
# The frame loop and the question run as on the desktop: Asyncify lets a
# swap wait for the browser's next frame and a box for its answer without
# changing the loop. Calls through pointers are taken not to wait, or every
# function of the OpenGL layer (which calls WebGL through pointers) would be
# instrumented and slowed. The one wait reached through a pointer is the end
# of the program inside a window procedure (Escape, the last part): the
# platform layer's window and message calls that call procedures are named
# here; everything above and below them reaches a wait by direct calls
# (the swap, the question, the splash's paint), which Asyncify follows by
# itself. WebGL 2 only; the page checks for it first.
set(web_waits_through "'*Sys_*Window*','*Sys_*Message*'")
target_link_options(demo PRIVATE
  -sASYNCIFY=1 -sASYNCIFY_STACK_SIZE=65536 -sASYNCIFY_IGNORE_INDIRECT=1
  "-sASYNCIFY_ADD=[${web_waits_through}]"
  -sMIN_WEBGL_VERSION=2 -sMAX_WEBGL_VERSION=2
  -sALLOW_MEMORY_GROWTH=1 -sINITIAL_MEMORY=67108864 -sTOTAL_STACK=1048576
  -sENVIRONMENT=web -sEXIT_RUNTIME=0
  "-sEXPORTED_FUNCTIONS=_main,_malloc,_free")

set(page_files index.html demo.css demo-page.js)
set(page_outputs "")
foreach(f IN LISTS page_files)
  add_custom_command(OUTPUT "${DEMO_WEB_OUT}/${f}"
    COMMAND ${CMAKE_COMMAND} -E copy "${CMAKE_SOURCE_DIR}/web/${f}" "${DEMO_WEB_OUT}/${f}"
    DEPENDS "${CMAKE_SOURCE_DIR}/web/${f}")
  list(APPEND page_outputs "${DEMO_WEB_OUT}/${f}")
endforeach()
# The page's icon: the iris of the eye of part 2, as the package's icon is
# made (-strip keeps ImageMagick's dates out of the PNG).
find_program(IMAGEMAGICK_CONVERT convert REQUIRED)
set(eye ${CMAKE_SOURCE_DIR}/resources/AUGE.JPG)
add_custom_command(OUTPUT "${DEMO_WEB_OUT}/favicon.png"
  COMMAND ${IMAGEMAGICK_CONVERT} ${eye} -gravity center -crop 160x160+0+0 +repage
          -filter Lanczos -resize 48x48 -strip PNG24:${DEMO_WEB_OUT}/favicon.png
  DEPENDS ${eye} VERBATIM)
list(APPEND page_outputs "${DEMO_WEB_OUT}/favicon.png")
add_custom_command(OUTPUT "${DEMO_WEB_OUT}/licences/README.txt"
  COMMAND ${CMAKE_COMMAND} -E copy_directory "${DEMO_WEB_DEPS}/licences" "${DEMO_WEB_OUT}/licences"
  DEPENDS "${DEMO_WEB_DEPS}/licences/README.txt")
list(APPEND page_outputs "${DEMO_WEB_OUT}/licences/README.txt")

# The zip holds the page's files only (not the build tree).
set(zip_members index.html demo.css demo-page.js favicon.png demo.js demo.wasm licences)
add_custom_command(OUTPUT "${DEMO_WEB_OUT}/demo-web.zip"
  COMMAND ${CMAKE_COMMAND} -E rm -f demo-web.zip
  COMMAND ${CMAKE_COMMAND} -E tar cf demo-web.zip --format=zip ${zip_members}
  WORKING_DIRECTORY "${DEMO_WEB_OUT}"
  DEPENDS demo ${page_outputs})
add_custom_target(web_page ALL DEPENDS "${DEMO_WEB_OUT}/demo-web.zip")
