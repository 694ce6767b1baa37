# tralvex_module(NAME [DEPENDS targets...] [SOURCES extra...])
# One static library per source folder, from the .cpp files directly in it.
# Headers are included as "folder/File.h" from the project root; generated
# headers live under build/generated.
function(tralvex_module name)
  cmake_parse_arguments(M "" "" "DEPENDS;SOURCES" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  list(APPEND sources ${M_SOURCES})
  set(target tralvex_${name})
  if(sources)
    add_library(${target} STATIC ${sources})
    set(scope PUBLIC)
  else()
    add_library(${target} INTERFACE)
    set(scope INTERFACE)
  endif()
  target_include_directories(${target} ${scope} ${PROJECT_SOURCE_DIR} ${PROJECT_BINARY_DIR}/generated)
  target_link_libraries(${target} ${scope} tralvex::headers ${M_DEPENDS})
endfunction()

# tralvex_add_tests(NAME [LIBS targets...])
# One GoogleTest executable per test folder, from the .cpp files in it
# (not its sub-folders, which have test executables of their own).
function(tralvex_add_tests name)
  cmake_parse_arguments(T "" "" "LIBS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(NOT sources)
    return()
  endif()
  set(target test_${name})
  add_executable(${target} ${sources})
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
