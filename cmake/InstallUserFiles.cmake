# Runs last in cmake --install, after the executables are in place: the catalogue and settings of
# a per-user install, and the desktop entry and icon.

set(folder "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}")

# The user's data, only in a per-user install: created when missing, never overwritten, and kept
# out of the install manifest so that removing the installed files leaves the catalogue alone.
# Any other install ships none: each user gets their own on first start.
if(TESSARO_PER_USER)
  if(EXISTS "${folder}/archive.mdb")
    message(STATUS "Kept: ${folder}/archive.mdb")
  else()
    message(STATUS "Creating: ${folder}/archive.mdb")
    execute_process(
      COMMAND "${folder}/tessaro-cli" --catalogue "${folder}/archive.mdb" create-catalogue
      RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
      message(FATAL_ERROR "tessaro-cli create-catalogue failed: ${status}")
    endif()
  endif()
endif()
if(TESSARO_PER_USER)
  if(EXISTS "${folder}/tessaro.ini")
    message(STATUS "Kept: ${folder}/tessaro.ini")
  else()
    message(STATUS "Creating: ${folder}/tessaro.ini")
    file(COPY_FILE "${TESSARO_SOURCE_DIR}/resources/tessaro.ini" "${folder}/tessaro.ini")
  endif()
endif()

if(NOT TESSARO_DESKTOP_ENTRY)
  return()
endif()
# Per user: the installing user's XDG data folder. Otherwise: the prefix's share folder.
if(TESSARO_PER_USER)
  set(data_home "$ENV{XDG_DATA_HOME}")
  if(NOT IS_ABSOLUTE "${data_home}")
    set(data_home "$ENV{HOME}/.local/share")
  endif()
elseif(IS_ABSOLUTE "${TESSARO_DATAROOTDIR}")
  set(data_home "${TESSARO_DATAROOTDIR}")
else()
  set(data_home "${CMAKE_INSTALL_PREFIX}/${TESSARO_DATAROOTDIR}")
endif()

# Exec wants the program in double quotes, with \ " ` $ escaped inside them and % doubled; the
# value as a whole escapes \ once more.
set(program "${CMAKE_INSTALL_PREFIX}/tessaro")
string(REPLACE "\\" "\\\\" program "${program}")
string(REPLACE "%" "%%" program "${program}")
foreach(special "\"" "`" "$")
  string(REPLACE "${special}" "\\${special}" program "${program}")
endforeach()
set(TESSARO_DESKTOP_EXEC "\"${program}\"")
string(REPLACE "\\" "\\\\" TESSARO_DESKTOP_EXEC "${TESSARO_DESKTOP_EXEC}")
# Started from the menu in its own folder, as when it is started there from a terminal.
set(TESSARO_DESKTOP_PATH "${CMAKE_INSTALL_PREFIX}")
configure_file("${TESSARO_SOURCE_DIR}/resources/tessaro.desktop.in"
               "${TESSARO_BINARY_DIR}/install/tessaro.desktop" @ONLY)
# file(INSTALL) puts DESTDIR in front by itself.
file(INSTALL "${TESSARO_BINARY_DIR}/install/tessaro.desktop" DESTINATION "${data_home}/applications")
file(INSTALL "${TESSARO_SOURCE_DIR}/resources/art/app.svg"
     DESTINATION "${data_home}/icons/hicolor/scalable/apps" RENAME tessaro.svg)
# bash loads completions on demand from the user's data folder (whenever tessaro-cli is installed).
if(TESSARO_CREATE_CATALOGUE)
  file(INSTALL "${TESSARO_SOURCE_DIR}/cli/tessaro-cli.bash" DESTINATION "${data_home}/bash-completion/completions"
       RENAME tessaro-cli)
endif()
find_program(update_desktop_database update-desktop-database)
if(update_desktop_database AND NOT DEFINED ENV{DESTDIR})
  execute_process(COMMAND "${update_desktop_database}" -q "${data_home}/applications")
endif()
