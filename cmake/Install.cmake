# cmake --install: Tessaro in a folder of its own, because the catalogue (archive.mdb) and the
# settings (tessaro.ini) live beside the executables and must be writable. By default the folder
# is per user, ~/.local/opt/tessaro of the user who installs; a desktop entry and the icon go to
# that user's XDG places so that Tessaro shows in the application menu.
#
# Included at the end of the top-level CMakeLists.txt, once every target exists. Keep every install
# rule here: the first one settles the per-user prefix for the rules that follow it.

option(TESSARO_INSTALL_DESKTOP_ENTRY "Install a desktop entry and the icon into the user's XDG folders" ON)

if(CMAKE_INSTALL_PREFIX_INITIALIZED_TO_DEFAULT)
  set(CMAKE_INSTALL_PREFIX "$ENV{HOME}/.local/opt/tessaro" CACHE PATH "Install folder" FORCE)
  set(TESSARO_DEFAULT_PREFIX "${CMAKE_INSTALL_PREFIX}" CACHE INTERNAL "The per-user default prefix")
endif()

install(CODE "
  set(TESSARO_SOURCE_DIR \"${CMAKE_SOURCE_DIR}\")
  set(TESSARO_BINARY_DIR \"${CMAKE_BINARY_DIR}\")
  set(TESSARO_DEFAULT_PREFIX \"${TESSARO_DEFAULT_PREFIX}\")
  include(\"${CMAKE_CURRENT_LIST_DIR}/InstallPrefix.cmake\")")

foreach(program tessaro tessaro-cli)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION .)
  else()
    message(STATUS "Install: no target ${program} yet, not installed")
  endif()
endforeach()

if(TARGET tessaro-cli)
  # man finds share/man beside a folder on PATH; the user's copy of the completion is made below.
  install(FILES ${CMAKE_SOURCE_DIR}/cli/tessaro-cli.1 DESTINATION share/man/man1)
  install(FILES ${CMAKE_SOURCE_DIR}/cli/tessaro-cli.bash DESTINATION share/bash-completion/completions
          RENAME tessaro-cli)
endif()

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
