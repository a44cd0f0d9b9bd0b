# Compiles the files named in a resource manifest into a target.
#
# The manifest has one resource per line, "type name file" (file relative to
# the manifest's folder); '#' starts a comment. The bytes go in with the
# assembler's .incbin, so megabytes cost nothing at compile time, and a C++
# table (kEmbeddedResources) lists type, name, address and size.
# ELF (Linux) and PE/COFF (Windows, mingw-w64) differ in how a read-only data
# section is named and flagged, and only ELF has the GNU stack note.
function(embed_resources target manifest)
  if(WIN32)
    set(section ".section .rdata,\"dr\"")
    set(ending "")
  elseif(EMSCRIPTEN)
    # WebAssembly's assembler names a data section without flags and wants
    # each symbol's size.
    set(section ".section .rodata.demo_resources,\"\",@")
    set(ending "")
  else()
    set(section ".section .rodata.demo_resources,\"a\"")
    set(ending "    .section .note.GNU-stack,\"\",@progbits\n")
  endif()
  get_filename_component(dir "${manifest}" DIRECTORY)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${manifest}")
  file(STRINGS "${manifest}" lines)
  set(asm "")
  set(decls "")
  set(rows "")
  set(files "")
  set(index 0)
  foreach(line IN LISTS lines)
    string(STRIP "${line}" line)
    if(line STREQUAL "" OR line MATCHES "^#")
      continue()
    endif()
    string(REGEX REPLACE "[ \t]+" ";" fields "${line}")
    list(LENGTH fields n)
    if(NOT n EQUAL 3)
      message(FATAL_ERROR "${manifest}: expected 'type name file': ${line}")
    endif()
    list(GET fields 0 type)
    list(GET fields 1 name)
    list(GET fields 2 file)
    set(path "${dir}/${file}")
    if(NOT EXISTS "${path}")
      message(FATAL_ERROR "${manifest}: missing file ${path}")
    endif()
    list(APPEND files "${path}")
    string(APPEND asm
      "    ${section}\n"
      "    .balign 16\n"
      "    .global demo_resource_${index}_begin\n"
      "demo_resource_${index}_begin:\n"
      "    .incbin \"${path}\"\n"
      "    .global demo_resource_${index}_end\n"
      "demo_resource_${index}_end:\n"
      "    .byte 0\n")
    if(EMSCRIPTEN)
      string(APPEND asm
        "    .size demo_resource_${index}_begin, demo_resource_${index}_end - demo_resource_${index}_begin\n"
        "    .size demo_resource_${index}_end, 1\n")
    endif()
    string(APPEND decls
      "extern \"C\" const uint8_t demo_resource_${index}_begin[];\n"
      "extern \"C\" const uint8_t demo_resource_${index}_end[];\n")
    string(APPEND rows
      "    {\"${type}\", \"${name}\", demo_resource_${index}_begin,\n"
      "     uint32_t(demo_resource_${index}_end - demo_resource_${index}_begin)},\n")
    math(EXPR index "${index} + 1")
  endforeach()
  string(APPEND asm "${ending}")
  set(out "${CMAKE_CURRENT_BINARY_DIR}/embedded")
  file(MAKE_DIRECTORY "${out}")
  file(WRITE "${out}/resources.S.new" "${asm}")
  file(WRITE "${out}/resources_table.cpp.new"
    "// Generated from ${manifest}; do not edit.\n"
    "#include \"platform/platform.h\"\n\n"
    "${decls}\n"
    "extern const ResourceEntry kEmbeddedResources[] = {\n${rows}    {nullptr, nullptr, nullptr, 0}};\n"
    "extern const size_t kEmbeddedResourceCount = ${index};\n")
  configure_file("${out}/resources.S.new" "${out}/resources.S" COPYONLY)
  configure_file("${out}/resources_table.cpp.new" "${out}/resources_table.cpp" COPYONLY)
  set_source_files_properties("${out}/resources.S" PROPERTIES OBJECT_DEPENDS "${files}")
  target_sources(${target} PRIVATE "${out}/resources.S" "${out}/resources_table.cpp")
endfunction()
