# Run by `cmake --install` (see CMakeLists.txt): puts the PAM service that
# checks a signer's password where PAM reads it. PAM reads /etc/pam.d
# only, so an install for the system (a prefix of /usr, /usr/local or
# under /opt) writes /etc/pam.d/tq800, under DESTDIR when one is set; a
# private prefix (~/.local, a scratch folder) gets <prefix>/etc/pam.d/tq800
# to copy there by hand. Without it PAM uses its "other" service, which on
# Debian and Ubuntu is the same common-auth and common-account.
#
# In: TQ800_PAM_FILE; CMAKE_INSTALL_PREFIX from cmake.
if(CMAKE_INSTALL_PREFIX MATCHES "^/usr(/local)?/?$" OR CMAKE_INSTALL_PREFIX MATCHES "^/opt(/|$)")
  set(dir "$ENV{DESTDIR}/etc/pam.d")
else()
  set(dir "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/etc/pam.d")
endif()
message(STATUS "Installing: ${dir}/tq800")
file(MAKE_DIRECTORY "${dir}")
configure_file("${TQ800_PAM_FILE}" "${dir}/tq800" COPYONLY)
file(CHMOD "${dir}/tq800" PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
list(APPEND CMAKE_INSTALL_MANIFEST_FILES "${dir}/tq800")
