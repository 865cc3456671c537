# Runs first in cmake --install. A build configured with the per-user default installs into the
# home of whoever runs the install (HOME=... cmake --install build works as expected); a prefix
# chosen at configure time or with --prefix is kept as it is and installs as a package does.
if(TESSARO_DEFAULT_PREFIX AND CMAKE_INSTALL_PREFIX STREQUAL TESSARO_DEFAULT_PREFIX)
  set(CMAKE_INSTALL_PREFIX "$ENV{HOME}/.local/opt/tessaro")
  set(TESSARO_PER_USER ON)
else()
  set(TESSARO_PER_USER OFF)
endif()
if(IS_ABSOLUTE "${TESSARO_BINDIR}")
  set(TESSARO_FULL_BINDIR "${TESSARO_BINDIR}")
else()
  set(TESSARO_FULL_BINDIR "${CMAKE_INSTALL_PREFIX}/${TESSARO_BINDIR}")
endif()
message(STATUS "Tessaro folder: $ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}")

# A per-user install of Tessaro 1.3 and earlier kept everything in the folder itself: its
# catalogue and settings move into bin/, beside the executables that use them now, and the old
# executables and help go, so that nothing starts without its catalogue.
set(folder "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}")
set(bin "$ENV{DESTDIR}${TESSARO_FULL_BINDIR}")
if(TESSARO_PER_USER AND NOT folder STREQUAL bin AND EXISTS "${folder}/archive.mdb"
   AND NOT EXISTS "${bin}/archive.mdb" AND NOT IS_SYMLINK "${bin}/archive.mdb")
  file(MAKE_DIRECTORY "${bin}")
  foreach(name archive.mdb archive.mdb-wal archive.mdb-shm tessaro.ini)
    if(EXISTS "${folder}/${name}" AND NOT EXISTS "${bin}/${name}")
      message(STATUS "Moving: ${folder}/${name} to ${bin}/${name}")
      file(RENAME "${folder}/${name}" "${bin}/${name}")
    endif()
  endforeach()
  foreach(name tessaro tessaro-cli help.chm)
    if(EXISTS "${folder}/${name}" AND NOT IS_DIRECTORY "${folder}/${name}")
      message(STATUS "Removing the earlier layout's ${folder}/${name}")
      file(REMOVE "${folder}/${name}")
    endif()
  endforeach()
endif()
