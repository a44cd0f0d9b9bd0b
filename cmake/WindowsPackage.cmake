# The application manifest (DPI awareness, supported Windows versions),
# compiled in with windres.
enable_language(RC)
set(DEMO_MANIFEST ${CMAKE_SOURCE_DIR}/cmake/demo.manifest)
configure_file(${CMAKE_SOURCE_DIR}/cmake/demo.rc.in ${CMAKE_BINARY_DIR}/demo.rc @ONLY)
target_sources(demo PRIVATE ${CMAKE_BINARY_DIR}/demo.rc)
set_source_files_properties(${CMAKE_BINARY_DIR}/demo.rc PROPERTIES OBJECT_DEPENDS ${DEMO_MANIFEST})

# demo-win64.zip: one folder with demo.exe, the DLLs it needs and the licence
# texts of everything linked into it. The DLLs are also put beside demo.exe
# in the build folder, so it runs from there. tools/windows/pack_zip.py packs
# it the same in any time zone and file order: sorted, dated
# SOURCE_DATE_EPOCH (make windows sets it to the last commit's time).
find_package(Python3 REQUIRED COMPONENTS Interpreter)
set(stage ${CMAKE_BINARY_DIR}/demo-win64)
set(zip ${CMAKE_BINARY_DIR}/demo-win64.zip)
file(GLOB licences "${DEMO_WIN_DEPS}/licences/*.txt")
add_custom_command(TARGET demo POST_BUILD
  COMMAND ${CMAKE_COMMAND} -E copy_if_different ${DEMO_WIN_DLLS} $<TARGET_FILE_DIR:demo>)
add_custom_command(OUTPUT ${zip}
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${stage} ${zip}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${stage}/licences
  COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:demo> ${DEMO_WIN_DLLS} ${stage}
  COMMAND ${CMAKE_COMMAND} -E copy ${licences} ${stage}/licences
  COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/tools/windows/pack_zip.py ${zip} ${CMAKE_BINARY_DIR} demo-win64
  WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
  DEPENDS demo ${DEMO_WIN_DLLS} ${licences} ${CMAKE_SOURCE_DIR}/tools/windows/pack_zip.py
  COMMENT "Packing demo-win64.zip")
add_custom_target(demo_zip ALL DEPENDS ${zip})
