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

install(TARGETS tessaro tessaro-cli tessaro-cli-scan RUNTIME DESTINATION .)
install(FILES ${TESSARO_HELP_FILE} DESTINATION .)

# man finds share/man beside a folder on PATH; the user's copy of the completion is made below.
install(FILES ${CMAKE_SOURCE_DIR}/cli/tessaro-cli.1 DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/man/man1)
install(FILES ${CMAKE_SOURCE_DIR}/cli/tessaro-cli.bash DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/bash-completion/completions
        RENAME tessaro-cli)

if(TESSARO_INSTALL_DESKTOP_ENTRY)
  set(desktop_entry ON)
else()
  set(desktop_entry OFF)
endif()
install(CODE "
  set(TESSARO_DESKTOP_ENTRY ${desktop_entry})
  include(\"${CMAKE_CURRENT_LIST_DIR}/InstallUserFiles.cmake\")")
