# SPDX-License-Identifier: GPL-3.0-or-later
# What `cmake --install` puts on a Linux desktop, and the Debian package
# that CPack builds from it (`make package`).
#
# Everything belongs to the component "hueline", which is also the only
# component the package is made of, so that nothing else a build may
# install (test or benchmark tools of other packages) ends up in it.
#
#     bin/hueline, bin/hueline-batch
#     share/applications/hueline.desktop
#     share/metainfo/org.example.hueline.Hueline.metainfo.xml
#     share/icons/hicolor/scalable/apps/hueline.svg, .../NxN/apps/hueline.png
#     share/man/man1/hueline.1.gz, share/man/man1/hueline-batch.1.gz
#     share/doc/hueline/copyright, share/doc/hueline/changelog.gz
#
# The metainfo and the manual pages are made from their .in files in data/
# with the project's version filled in.

include(GNUInstallDirs)

set(HUELINE_DATA_DIR ${CMAKE_SOURCE_DIR}/data)
set(HUELINE_APPSTREAM_ID org.example.hueline.Hueline)
set(HUELINE_ICON_SIZES 16 22 24 32 48 64 128 256)

# --- the programs -------------------------------------------------------
install(TARGETS hueline RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT hueline)
set(HUELINE_MAN_PAGES hueline)
if(TARGET hueline-batch)
  install(TARGETS hueline-batch RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT hueline)
  list(APPEND HUELINE_MAN_PAGES hueline-batch)
endif()

# --- the menu entry, the software-centre description, the icon ------------
install(FILES ${HUELINE_DATA_DIR}/hueline.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT hueline)
set(HUELINE_VERSION_SHORT ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR})
configure_file(${HUELINE_DATA_DIR}/${HUELINE_APPSTREAM_ID}.metainfo.xml.in
               ${CMAKE_BINARY_DIR}/data/${HUELINE_APPSTREAM_ID}.metainfo.xml @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/data/${HUELINE_APPSTREAM_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo COMPONENT hueline)
install(FILES ${HUELINE_DATA_DIR}/icons/hueline.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps COMPONENT hueline)
foreach(size IN LISTS HUELINE_ICON_SIZES)
  install(FILES ${HUELINE_DATA_DIR}/icons/${size}x${size}/hueline.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps COMPONENT hueline)
endforeach()

# --- the manual pages, compressed as Debian wants them -----------------------
# gzip -n leaves out the name and time, so the same page always gives the
# same bytes.
set(HUELINE_MAN_OUTPUTS "")
foreach(page IN LISTS HUELINE_MAN_PAGES)
  set(source ${CMAKE_BINARY_DIR}/man/${page}.1)
  configure_file(${HUELINE_DATA_DIR}/${page}.1.in ${source} @ONLY)
  set(output ${CMAKE_BINARY_DIR}/man/${page}.1.gz)
  add_custom_command(
    OUTPUT ${output}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
    COMMAND sh -c "gzip -9 -n -c \"$1\" > \"$2\"" sh ${source} ${output}
    DEPENDS ${source}
    COMMENT "Compressing the manual page ${page}.1"
    VERBATIM)
  list(APPEND HUELINE_MAN_OUTPUTS ${output})
  install(FILES ${output} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT hueline)
endforeach()
add_custom_target(hueline_man_pages ALL DEPENDS ${HUELINE_MAN_OUTPUTS})

# --- the copyright file and the changelog, where Debian wants them -------
install(FILES ${HUELINE_DATA_DIR}/copyright
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/hueline COMPONENT hueline)
set(changelog ${CMAKE_BINARY_DIR}/doc/changelog.gz)
add_custom_command(
  OUTPUT ${changelog}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/doc
  COMMAND sh -c "gzip -9 -n -c \"$1\" > \"$2\"" sh ${HUELINE_DATA_DIR}/changelog ${changelog}
  DEPENDS ${HUELINE_DATA_DIR}/changelog
  COMMENT "Compressing the changelog"
  VERBATIM)
add_custom_target(hueline_changelog ALL DEPENDS ${changelog})
install(FILES ${changelog} DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/hueline COMPONENT hueline)

# --- the Debian package -------------------------------------------------
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME hueline)
set(CPACK_PACKAGE_VENDOR "The Hueline developers")
set(CPACK_PACKAGE_CONTACT "The Hueline developers <support@hueline.example.org>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "turn a photograph into a sketch")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://hueline.example.org/")
set(CPACK_STRIP_FILES ON)
# Only the component above, installed under /usr.
set(CPACK_INSTALL_CMAKE_PROJECTS "${CMAKE_BINARY_DIR};${PROJECT_NAME};hueline;/")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://hueline.example.org/")
# The libraries the programs link (Qt, libjpeg, libspng, the C++ run-time) become the
# package's dependencies through dpkg-shlibdeps.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The window draws its icon from SVG through Qt's SVG plugin, which no
# program links directly. Metafiles' text is drawn with fonts that have
# the metrics of the faces documents name, and their signs with Symbola
# (src/imaging/metafile/face_table.h).
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6svg6, fonts-liberation2, fonts-crosextra-carlito, fonts-crosextra-caladea, fonts-dejavu-core, fonts-symbola")
# The long description under the summary line; CPack indents it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
"Hueline is a single-window picture tool that turns a photograph into a
colour sketch or a black-and-white drawing, one click at a time: three
fringe convolutions with editable coefficients, colour and black-and-white
split sliders, gray, woodcut-like black and white, pen-and-ink outlines,
erode, dilate, thin, inverse, sharpen and median, and retouching by hand
with pen, brush, rubber and eyedropper. It reads BMP, JPEG, PNG, icons
and WMF and EMF metafiles and saves BMP, JPEG or PNG, or the drawing
traced into curves as SVG or PDF, and prints it.
.
The companion program hueline-batch runs the same commands from the
command line, on one picture or on every picture of a folder.")

include(CPack)
