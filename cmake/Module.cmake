# tralvex_stage_headers(NAME TARGET SCOPE [HEADERS files...])
# Headers are included as "folder/File.h" from the project root, but a module
# sees only its own headers and those of the modules it links: each header
# (those directly in its folder, or the HEADERS given, relative to it) is
# linked into a staging folder of its own, which is its include path. A
# folder inside a module's folder is another module's. Generated headers live
# under build/generated.
function(tralvex_stage_headers name target scope)
  cmake_parse_arguments(S "" "" "HEADERS" ${ARGN})
  file(RELATIVE_PATH folder ${PROJECT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR})
  set(stage ${PROJECT_BINARY_DIR}/include/${name})
  if(NOT S_HEADERS)
    file(GLOB S_HEADERS CONFIGURE_DEPENDS RELATIVE ${CMAKE_CURRENT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  endif()
  file(REMOVE_RECURSE ${stage})
  foreach(header ${S_HEADERS})
    get_filename_component(parent ${stage}/${folder}/${header} DIRECTORY)
    file(MAKE_DIRECTORY ${parent})
    file(CREATE_LINK ${CMAKE_CURRENT_SOURCE_DIR}/${header} ${stage}/${folder}/${header} SYMBOLIC)
  endforeach()
  target_include_directories(${target} ${scope} ${stage} ${PROJECT_BINARY_DIR}/generated)
endfunction()

# tralvex_module(NAME [DEPENDS targets...] [SOURCES extra...] [FILES files...] [EXCLUDE files...])
# One static library per source folder, from the .cpp files directly in it
# and its headers; FILES names them instead (relative to the folder, so also
# in a folder below), EXCLUDE leaves some out.
function(tralvex_module name)
  cmake_parse_arguments(M "" "" "DEPENDS;SOURCES;FILES;EXCLUDE" ${ARGN})
  if(M_FILES)
    set(files ${M_FILES})
  else()
    file(GLOB files CONFIGURE_DEPENDS RELATIVE ${CMAKE_CURRENT_SOURCE_DIR}
         ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  endif()
  if(M_EXCLUDE)
    list(REMOVE_ITEM files ${M_EXCLUDE})
  endif()
  set(sources ${files})
  list(FILTER sources INCLUDE REGEX "\\.cpp$")
  list(TRANSFORM sources PREPEND ${CMAKE_CURRENT_SOURCE_DIR}/)
  set(headers ${files})
  list(FILTER headers INCLUDE REGEX "\\.h$")
  list(APPEND sources ${M_SOURCES})
  set(target tralvex_${name})
  if(sources)
    add_library(${target} STATIC ${sources})
    set(scope PUBLIC)
  else()
    add_library(${target} INTERFACE)
    set(scope INTERFACE)
  endif()
  tralvex_stage_headers(${name} ${target} ${scope} HEADERS ${headers})
  target_link_libraries(${target} ${scope} tralvex::headers ${M_DEPENDS})
endfunction()

# tralvex_add_tests(NAME [TINTS] [LIBS targets...])
# One GoogleTest executable per test folder, from the .cpp files in it
# (not its sub-folders, which have test executables of their own). TINTS
# links the build's indexed textures, to tint as the program does.
function(tralvex_add_tests name)
  cmake_parse_arguments(T "TINTS" "" "LIBS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(NOT sources)
    return()
  endif()
  set(target test_${name})
  add_executable(${target} ${sources})
  if(T_TINTS)
    target_sources(${target} PRIVATE $<TARGET_OBJECTS:tralvex_indexed_texture_objects>)
  endif()
  target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/tests)
  target_link_libraries(${target} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
  target_compile_definitions(${target} PRIVATE
    TRALVEX_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
    TRALVEX_BINARY_DIR="${PROJECT_BINARY_DIR}")
  include(GoogleTest)
  # The desktop libraries keep some memory until the process ends.
  gtest_discover_tests(${target} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 600
    ENVIRONMENT "LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/lsan.supp")
endfunction()
