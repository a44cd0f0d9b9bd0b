# The Debian package (make package, with -DDEMO_PACKAGE=ON): the demo as
# /usr/games/demo017 with its menu entry, icons made from its own eye picture,
# a manual page, AppStream metainfo and the copyright file, packed by CPack's
# DEB generator; the dependencies come from dpkg-shlibdeps.
#
# SOURCE_DATE_EPOCH (make package sets it to the last commit's time) dates the
# manual page, the changelog and the metainfo release here, and CPack stamps
# every file of the package with it: the same commit gives the same bytes.
option(DEMO_PACKAGE "Install rules and CPack's DEB generator for make package" OFF)
if(NOT DEMO_PACKAGE)
  return()
endif()

set(DEMO_PACKAGE_NAME demo017)
# AppStream wants a reverse-DNS id; the project has no domain of its own yet.
set(DEMO_APP_ID org.example.demo017)
# The Maintainer field and the changelog's signature: whoever builds a package
# to hand out puts their own name and address here (make package
# MAINTAINER="Name <address>"); otherwise the project's own, whose address,
# like the AppStream id, waits for a domain of the project's own.
set(DEMO_DEFAULT_MAINTAINER "The Demo v0.17 developers <demo017@example.org>")
set(DEMO_PACKAGE_MAINTAINER "" CACHE STRING "Maintainer field, \"Name <address>\" (empty: ${DEMO_DEFAULT_MAINTAINER})")
if(DEMO_PACKAGE_MAINTAINER)
  set(DEMO_MAINTAINER "${DEMO_PACKAGE_MAINTAINER}")
else()
  set(DEMO_MAINTAINER "${DEMO_DEFAULT_MAINTAINER}")
endif()
if(NOT DEMO_MAINTAINER MATCHES "^[^<>]*[^ <>] <[^<> ]+@[^<> ]+>$")
  message(FATAL_ERROR "DEMO_PACKAGE_MAINTAINER=\"${DEMO_MAINTAINER}\" is not \"Name <address>\"")
endif()
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
  message(WARNING "SOURCE_DATE_EPOCH is not set: the package is dated now (make package sets it)")
endif()
string(TIMESTAMP DEMO_DATE "%Y-%m-%d" UTC)
string(TIMESTAMP DEMO_CHANGELOG_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)

find_program(IMAGEMAGICK_CONVERT convert REQUIRED)
find_program(GZIP gzip REQUIRED)
set(src ${CMAKE_SOURCE_DIR}/packaging)
set(out ${CMAKE_BINARY_DIR}/packaging)
file(MAKE_DIRECTORY ${out})
configure_file(${src}/demo017.6.in ${out}/demo017.6 @ONLY)
configure_file(${src}/changelog.in ${out}/changelog @ONLY)
configure_file(${src}/demo017.metainfo.xml.in ${out}/${DEMO_APP_ID}.metainfo.xml @ONLY)

# The executable stripped as dh_strip does (build/demo itself stays as built).
add_custom_command(OUTPUT ${out}/demo017
  COMMAND ${CMAKE_STRIP} --remove-section=.comment --remove-section=.note --strip-unneeded
          -o ${out}/demo017 $<TARGET_FILE:demo>
  DEPENDS demo VERBATIM)
# The icon: the iris of the eye of part 2, the middle 160 x 160 of its picture.
# -strip keeps ImageMagick's dates out of the PNG.
set(eye ${CMAKE_SOURCE_DIR}/resources/AUGE.JPG)
set(icons)
foreach(size 256 48)
  add_custom_command(OUTPUT ${out}/icon-${size}.png
    COMMAND ${IMAGEMAGICK_CONVERT} ${eye} -gravity center -crop 160x160+0+0 +repage
            -filter Lanczos -resize ${size}x${size} -strip PNG24:${out}/icon-${size}.png
    DEPENDS ${eye} VERBATIM)
  list(APPEND icons ${out}/icon-${size}.png)
  install(FILES ${out}/icon-${size}.png DESTINATION share/icons/hicolor/${size}x${size}/apps
    RENAME demo017.png)
endforeach()
# gzip -n: no name and no time stamp in the header.
foreach(doc demo017.6 changelog)
  add_custom_command(OUTPUT ${out}/${doc}.gz
    COMMAND ${GZIP} -9 -n -c ${out}/${doc} > ${out}/${doc}.gz
    DEPENDS ${out}/${doc} VERBATIM)
endforeach()
add_custom_target(package_files ALL
  DEPENDS ${out}/demo017 ${icons} ${out}/demo017.6.gz ${out}/changelog.gz)

install(PROGRAMS ${out}/demo017 DESTINATION games)
install(FILES ${src}/demo017.desktop DESTINATION share/applications RENAME ${DEMO_APP_ID}.desktop)
install(FILES ${out}/${DEMO_APP_ID}.metainfo.xml DESTINATION share/metainfo)
install(FILES ${out}/demo017.6.gz DESTINATION share/man/man6)
install(FILES ${src}/copyright ${out}/changelog.gz DESTINATION share/doc/demo017)

# make package builds only what it installs, not the tools and tests.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${DEMO_PACKAGE_NAME})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${DEMO_MAINTAINER}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "real-time 3D demo: seven OpenGL scenes in eight parts, with music
A small demo of about 66 seconds: a plasma title, a particle eye, a helix
spiral, a spike ball over a floor, a spring grid, a lattice of glowing
sprites and an outro, moved from part to part by the sync times of its own
music. It asks whether to run full screen and then plays by itself; the
arrow keys step between the parts and Escape leaves.
.
Everything it shows and plays is compiled into the one program.")
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR})
include(CPack)
