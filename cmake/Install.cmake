# cmake --install, laid out by GNUInstallDirs below the prefix: bin/tessaro and bin/tessaro-cli,
# share/tessaro/help.chm (the program looks for it beside itself, then in ../share/tessaro/), the
# man pages, the bash completion, the AppStream metainfo, the desktop entry and the icons.
#
# --prefix /usr (or /usr/local), as distributions package it: the desktop entry starts the plain
# command tessaro, found on PATH; DESTDIR is honoured; no catalogue and no settings are shipped,
# so each user gets their own in their XDG folders on first start (catalogue/AppPaths).
#
# A prefix of its own, such as /opt/tessaro: the same layout below it, and the desktop entry
# names the executable by its full path. The desktop entry and the icons go to the prefix's
# share folder; an absolute CMAKE_INSTALL_DATAROOTDIR (/usr/share) puts them where the desktop
# looks without further setup.
#
# Per user (the default prefix, ~/.local/opt/tessaro of the user who installs): the catalogue
# (archive.mdb) and the settings (tessaro.ini) are made beside the executables in bin/, and the
# desktop entry, the icons and the completion go to that user's XDG data folder, so that Tessaro
# shows in the application menu.
#
# Included at the end of the top-level CMakeLists.txt, once every target exists. Keep every install
# rule here: the first one settles the prefix for the rules that follow it.
include(GNUInstallDirs)

option(TESSARO_INSTALL_DESKTOP_ENTRY "Install a desktop entry and the icons" ON)

if(CMAKE_INSTALL_PREFIX_INITIALIZED_TO_DEFAULT)
  set(CMAKE_INSTALL_PREFIX "$ENV{HOME}/.local/opt/tessaro" CACHE PATH "Install folder" FORCE)
  set(TESSARO_DEFAULT_PREFIX "${CMAKE_INSTALL_PREFIX}" CACHE INTERNAL "The per-user default prefix")
endif()

install(CODE "
  set(TESSARO_SOURCE_DIR \"${CMAKE_SOURCE_DIR}\")
  set(TESSARO_BINARY_DIR \"${CMAKE_BINARY_DIR}\")
  set(TESSARO_DEFAULT_PREFIX \"${TESSARO_DEFAULT_PREFIX}\")
  set(TESSARO_BINDIR \"${CMAKE_INSTALL_BINDIR}\")
  set(TESSARO_DATAROOTDIR \"${CMAKE_INSTALL_DATAROOTDIR}\")
  set(TESSARO_ICON_FOLDER \"${TESSARO_ICON_FOLDER}\")
  set(TESSARO_ICON_SIZES \"${TESSARO_ICON_SIZES}\")
  include(\"${CMAKE_CURRENT_LIST_DIR}/InstallPrefix.cmake\")")

install(TARGETS tessaro tessaro-cli tessaro-cli-scan RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(TESSARO_HELP_FILE)
  install(FILES ${TESSARO_HELP_FILE} DESTINATION ${CMAKE_INSTALL_DATADIR}/tessaro)
endif()

# man finds share/man beside a folder on PATH; the user's copy of the completion is made below.
install(FILES ${CMAKE_SOURCE_DIR}/docs/tessaro.1 ${CMAKE_SOURCE_DIR}/cli/tessaro-cli.1
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${CMAKE_SOURCE_DIR}/cli/tessaro-cli.bash DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions
        RENAME tessaro-cli)
install(FILES ${CMAKE_SOURCE_DIR}/resources/tessaro.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo
        RENAME example.quillomat.tessaro.metainfo.xml)

if(TESSARO_INSTALL_DESKTOP_ENTRY)
  set(desktop_entry ON)
else()
  set(desktop_entry OFF)
endif()
install(CODE "
  set(TESSARO_DESKTOP_ENTRY ${desktop_entry})
  include(\"${CMAKE_CURRENT_LIST_DIR}/InstallUserFiles.cmake\")")
