# What `cmake --install` puts below the prefix, and the Debian package
# (`make package`, CPack) made from the same rules.
include(GNUInstallDirs)

set(TRALVEX_MAINTAINER "Tralvex maintainers <tralvex@veltrana.example>")
set(doc_dir ${CMAKE_INSTALL_DATADIR}/doc/tralvex)
set(staged ${PROJECT_BINARY_DIR}/install)

# Debian wants the manual page and the changelog compressed, without a time
# stamp in the gzip header so the package is reproducible.
configure_file(resources/tralvex.1 ${staged}/tralvex.1 @ONLY)
configure_file(resources/changelog.in ${staged}/changelog @ONLY)
add_custom_command(
  OUTPUT ${staged}/tralvex.1.gz ${staged}/changelog.gz
  COMMAND gzip -9 -n -f -k ${staged}/tralvex.1 ${staged}/changelog
  DEPENDS ${staged}/tralvex.1 ${staged}/changelog
  VERBATIM)
add_custom_target(tralvex_install_files ALL DEPENDS ${staged}/tralvex.1.gz ${staged}/changelog.gz)

# The software centres' release is the changelog's: its version and its date.
file(STRINGS resources/changelog.in signature REGEX "^ -- ")
if(NOT signature MATCHES ", ([0-9][0-9]) ([A-Z][a-z][a-z]) ([0-9][0-9][0-9][0-9]) ")
  message(FATAL_ERROR "no date in resources/changelog.in")
endif()
set(months Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
list(FIND months ${CMAKE_MATCH_2} month)
math(EXPR month "${month} + 1" OUTPUT_FORMAT DECIMAL)
if(month LESS 10)
  set(month 0${month})
endif()
set(TRALVEX_RELEASE_DATE ${CMAKE_MATCH_3}-${month}-${CMAKE_MATCH_1})
set(metainfo example.veltrana.tralvex.metainfo.xml)
configure_file(resources/${metainfo} ${staged}/${metainfo} @ONLY)

install(TARGETS tralvex RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES resources/tralvex.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES resources/tralvex-mime.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages RENAME tralvex.xml)
install(FILES ${staged}/${metainfo} DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(DIRECTORY ${TRALVEX_ICON_DIR}/hicolor DESTINATION ${CMAKE_INSTALL_DATADIR}/icons)
install(FILES ${staged}/tralvex.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES resources/copyright ${staged}/changelog.gz DESTINATION ${doc_dir})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tralvex)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${TRALVEX_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${TRALVEX_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "convert book packages into PowerPoint presentations")
set(CPACK_PACKAGE_DESCRIPTION "Tralvex turns a book package (.mordx: a zip archive of an XML book
description and its pictures) into a .pptx presentation with one slide per
page, keeping the page backgrounds, the pictures and the formatted text.

A book opened from the file manager is converted next to itself; a batch
mode converts every book below a folder and writes a log.")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
include(CPack)
