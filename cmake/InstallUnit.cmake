# Run by `cmake --install` (see CMakeLists.txt): writes the service unit
# with the paths of this install, the prefix given now (--prefix) rather
# than the one the build was configured with, and under DESTDIR when one
# is set (the unit still names the paths without it, where a package
# unpacks them).
#
# In: TQ800_UNIT_TEMPLATE, TQ800_BINDIR, TQ800_DOCDIR (as configured,
# relative to the prefix or absolute); CMAKE_INSTALL_PREFIX from cmake.
foreach(dir BINDIR DOCDIR)
  if(IS_ABSOLUTE "${TQ800_${dir}}")
    set(CMAKE_INSTALL_FULL_${dir} "${TQ800_${dir}}")
  else()
    set(CMAKE_INSTALL_FULL_${dir} "${CMAKE_INSTALL_PREFIX}/${TQ800_${dir}}")
  endif()
endforeach()
# systemd splits ExecStart= at blanks.
if(CMAKE_INSTALL_FULL_BINDIR MATCHES "[ \t]")
  message(FATAL_ERROR "the service unit cannot name a program in a path with blanks: ${CMAKE_INSTALL_FULL_BINDIR}")
endif()
get_filename_component(name "${TQ800_UNIT_TEMPLATE}" NAME_WLE)
set(unit "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/lib/systemd/system/${name}")
message(STATUS "Installing: ${unit}")
configure_file("${TQ800_UNIT_TEMPLATE}" "${unit}" @ONLY)
file(CHMOD "${unit}" PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
list(APPEND CMAKE_INSTALL_MANIFEST_FILES "${unit}")
