# Every library comes from a Debian package installed by scripts/install-deps.sh.
find_package(PkgConfig REQUIRED)
find_package(Threads REQUIRED)
pkg_check_modules(ZLIB REQUIRED IMPORTED_TARGET zlib)
pkg_check_modules(MINIZIP REQUIRED IMPORTED_TARGET minizip)
pkg_check_modules(XERCES REQUIRED IMPORTED_TARGET xerces-c)
pkg_check_modules(XXHASH REQUIRED IMPORTED_TARGET libxxhash)
# FreeImage decodes TIFF through it, and so does the program for the common
# strip layouts; WebP frames are decoded with libwebp and its demuxer.
pkg_check_modules(TIFF REQUIRED IMPORTED_TARGET libtiff-4)
pkg_check_modules(WEBP REQUIRED IMPORTED_TARGET libwebp libwebpdemux)
# The desktop face; GIO also serves the file manager and URI calls.
pkg_check_modules(GTK3 REQUIRED IMPORTED_TARGET gtk+-3.0 x11)

find_path(FREEIMAGE_INCLUDE_DIR FreeImage.h REQUIRED)
find_library(FREEIMAGE_LIBRARY freeimage REQUIRED)
add_library(tralvex::freeimage INTERFACE IMPORTED)
set_target_properties(tralvex::freeimage PROPERTIES
  INTERFACE_INCLUDE_DIRECTORIES ${FREEIMAGE_INCLUDE_DIR}
  INTERFACE_LINK_LIBRARIES ${FREEIMAGE_LIBRARY})

find_path(RAPIDXML_INCLUDE_DIR rapidxml/rapidxml.hpp REQUIRED)
find_path(UTFCPP_INCLUDE_DIR utf8cpp/utf8.h REQUIRED)
find_path(BOOST_RATIONAL_INCLUDE_DIR boost/rational.hpp REQUIRED)
find_path(XSD_INCLUDE_DIR xsd/cxx/tree/elements.hxx REQUIRED)
find_program(XSDCXX_EXECUTABLE NAMES xsdcxx REQUIRED)

add_library(tralvex::headers INTERFACE IMPORTED)
set_target_properties(tralvex::headers PROPERTIES
  INTERFACE_INCLUDE_DIRECTORIES "${RAPIDXML_INCLUDE_DIR};${UTFCPP_INCLUDE_DIR};${BOOST_RATIONAL_INCLUDE_DIR};${XSD_INCLUDE_DIR}")

if(TRALVEX_BUILD_TESTS)
  find_package(GTest REQUIRED)
endif()
if(TRALVEX_BUILD_BENCH)
  find_package(benchmark QUIET)
endif()
