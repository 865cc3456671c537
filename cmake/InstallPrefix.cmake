# Runs first in cmake --install. A build configured with the per-user default installs into the
# home of whoever runs the install (HOME=... cmake --install build works as expected); a prefix
# chosen at configure time or with --prefix is kept as it is and installs as a package does.
if(TESSARO_DEFAULT_PREFIX AND CMAKE_INSTALL_PREFIX STREQUAL TESSARO_DEFAULT_PREFIX)
  set(CMAKE_INSTALL_PREFIX "$ENV{HOME}/.local/opt/tessaro")
  set(TESSARO_PER_USER ON)
else()
  set(TESSARO_PER_USER OFF)
endif()
message(STATUS "Tessaro folder: $ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}")
