# The program unpacks untrusted archives and decodes untrusted pictures: what
# is installed or packaged is built with Debian's hardening flags (fortified
# libc calls, stack protector, read-only relocations bound at load time,
# position-independent executable). The debug and sanitizer builds are left
# alone: _FORTIFY_SOURCE needs optimisation and gets in the way of ASan.
option(TRALVEX_HARDEN "Build Release, RelWithDebInfo and MinSizeRel with the hardening flags" ON)

# The flags dpkg-buildflags gives, without its optimisation, debug and path
# flags (the build type chooses those); the same flags fixed where it is
# missing.
function(tralvex_hardening_flags compile_out link_out)
  find_program(DPKG_BUILDFLAGS dpkg-buildflags)
  if(NOT DPKG_BUILDFLAGS)
    set(${compile_out} -fstack-protector-strong -Wformat -Werror=format-security -D_FORTIFY_SOURCE=2 PARENT_SCOPE)
    set(${link_out} -Wl,-z,relro -Wl,-z,now PARENT_SCOPE)
    return()
  endif()
  foreach(variable CPPFLAGS CXXFLAGS LDFLAGS)
    execute_process(
      COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all ${DPKG_BUILDFLAGS} --get ${variable}
      OUTPUT_VARIABLE value OUTPUT_STRIP_TRAILING_WHITESPACE
      COMMAND_ERROR_IS_FATAL ANY)
    separate_arguments(value UNIX_COMMAND "${value}")
    list(FILTER value EXCLUDE REGEX "^-(O.*|g.*|f(file|debug|macro)-prefix-map=.*)$")
    set(${variable} ${value})
  endforeach()
  # PIE is added below for compile and link alike.
  set(compile ${CPPFLAGS} ${CXXFLAGS})
  list(FILTER compile EXCLUDE REGEX "^-(fPIE|fpie|fPIC|fpic|specs=.*)$")
  list(FILTER LDFLAGS EXCLUDE REGEX "^-(pie|fPIE|specs=.*)$")
  list(REMOVE_DUPLICATES compile)
  set(${compile_out} ${compile} PARENT_SCOPE)
  set(${link_out} ${LDFLAGS} PARENT_SCOPE)
endfunction()

set(TRALVEX_HARDENED OFF)
if(TRALVEX_HARDEN AND NOT TRALVEX_SANITIZE AND CMAKE_BUILD_TYPE MATCHES "^(Release|RelWithDebInfo|MinSizeRel)$")
  set(TRALVEX_HARDENED ON)
  tralvex_hardening_flags(hardening_compile hardening_link)
  # Position-independent executables, whatever the compiler's default (the
  # libraries are linked into them, so they are compiled the same way).
  list(APPEND hardening_compile -fPIE)
  message(STATUS "Hardening: ${hardening_compile} ${hardening_link} -pie")
  add_compile_options("$<$<COMPILE_LANGUAGE:C,CXX>:${hardening_compile}>")
  add_link_options(${hardening_link} "$<$<STREQUAL:$<TARGET_PROPERTY:TYPE>,EXECUTABLE>:-pie>")
endif()
