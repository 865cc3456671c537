# cmake --install: Tessaro in a folder of its own, the executables and help.chm side by side.
#
# Per user (the default prefix, ~/.local/opt/tessaro of the user who installs): the catalogue
# (archive.mdb) and the settings (tessaro.ini) are made beside the executables, and a desktop
# entry and the icon go to that user's XDG places so that Tessaro shows in the application menu.
#
# With a prefix of its own (-DCMAKE_INSTALL_PREFIX=/opt/tessaro, or --prefix at install time), as
# packagers and system-wide installs do: no catalogue and no settings are shipped, the desktop
# entry and the icon go under the prefix (share/applications, share/icons; CMAKE_INSTALL_DATAROOTDIR
# moves them), and DESTDIR is honoured. Each user then gets their own catalogue and settings in
# their XDG folders on first start (catalogue/AppPaths).
#
# Included at the end of the top-level CMakeLists.txt, once every target exists. Keep every install
# rule here: the first one settles the prefix for the rules that follow it.
include(GNUInstallDirs)

option(TESSARO_INSTALL_DESKTOP_ENTRY "Install a desktop entry and the icon" ON)

if(CMAKE_INSTALL_PREFIX_INITIALIZED_TO_DEFAULT)
  set(CMAKE_INSTALL_PREFIX "$ENV{HOME}/.local/opt/tessaro" CACHE PATH "Install folder" FORCE)
  set(TESSARO_DEFAULT_PREFIX "${CMAKE_INSTALL_PREFIX}" CACHE INTERNAL "The per-user default prefix")
endif()

install(CODE "
  set(TESSARO_SOURCE_DIR \"${CMAKE_SOURCE_DIR}\")
  set(TESSARO_BINARY_DIR \"${CMAKE_BINARY_DIR}\")
  set(TESSARO_DEFAULT_PREFIX \"${TESSARO_DEFAULT_PREFIX}\")
  set(TESSARO_DATAROOTDIR \"${CMAKE_INSTALL_DATAROOTDIR}\")
  include(\"${CMAKE_CURRENT_LIST_DIR}/InstallPrefix.cmake\")")

foreach(program tessaro tessaro-cli)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION .)
  else()
    message(STATUS "Install: no target ${program} yet, not installed")
  endif()
endforeach()

if(TARGET tessaro_help)
  install(FILES ${TESSARO_HELP_FILE} DESTINATION .)
endif()

if(TARGET tessaro-cli)
  set(create_catalogue ON)
else()
  set(create_catalogue OFF)
endif()
if(TESSARO_INSTALL_DESKTOP_ENTRY AND TARGET tessaro)
  set(desktop_entry ON)
else()
  set(desktop_entry OFF)
endif()
install(CODE "
  set(TESSARO_CREATE_CATALOGUE ${create_catalogue})
  set(TESSARO_DESKTOP_ENTRY ${desktop_entry})
  include(\"${CMAKE_CURRENT_LIST_DIR}/InstallUserFiles.cmake\")")
