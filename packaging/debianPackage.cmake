# SPDX-License-Identifier: Apache-2.0
# `make package`: one Debian package of the installed tree under /opt/krsystem (programs and
# plug-ins share bin/, as the loader expects, which does not belong in /usr/bin). Its
# Depends are read from the binaries by dpkg-shlibdeps.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME krsystem)
set(CPACK_PACKAGE_VENDOR "KrSystem developers")
set(CPACK_PACKAGE_CONTACT "KrSystem developers <krsystem@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Movie bridge, system check, check and tool plug-ins, host framework")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /opt/krsystem)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The framework's own libraries are in the package itself, not in another one.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_BINARY_DIR}/bin)
include(CPack)
