# Runs last in cmake --install, after the executables are in place: the catalogue and settings of
# a per-user install, and the desktop entry and icons.

set(bin "$ENV{DESTDIR}${TESSARO_FULL_BINDIR}")

# The user's data, only in a per-user install: created when missing, never overwritten, and kept
# out of the install manifest so that removing the installed files leaves the catalogue alone.
# Any other install ships none: each user gets their own on first start.
if(TESSARO_PER_USER)
  if(EXISTS "${bin}/archive.mdb")
    message(STATUS "Kept: ${bin}/archive.mdb")
  else()
    message(STATUS "Creating: ${bin}/archive.mdb")
    execute_process(
      COMMAND "${bin}/tessaro-cli" --catalogue "${bin}/archive.mdb" create-catalogue
      RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
      message(FATAL_ERROR "tessaro-cli create-catalogue failed: ${status}")
    endif()
  endif()
  if(EXISTS "${bin}/tessaro.ini")
    message(STATUS "Kept: ${bin}/tessaro.ini")
  else()
    message(STATUS "Creating: ${bin}/tessaro.ini")
    file(COPY_FILE "${TESSARO_SOURCE_DIR}/resources/tessaro.ini" "${bin}/tessaro.ini")
  endif()
endif()

# Per user: the installing user's XDG data folder. Otherwise: the prefix's share folder.
if(TESSARO_PER_USER)
  set(data_home "$ENV{XDG_DATA_HOME}")
  if(NOT IS_ABSOLUTE "${data_home}")
    set(data_home "$ENV{HOME}/.local/share")
  endif()
  # bash loads completions on demand from the user's data folder (whenever tessaro-cli is installed).
  file(INSTALL "${TESSARO_SOURCE_DIR}/cli/tessaro-cli.bash" DESTINATION "${data_home}/bash-completion/completions"
       RENAME tessaro-cli)
elseif(IS_ABSOLUTE "${TESSARO_DATAROOTDIR}")
  set(data_home "${TESSARO_DATAROOTDIR}")
else()
  set(data_home "${CMAKE_INSTALL_PREFIX}/${TESSARO_DATAROOTDIR}")
endif()

if(NOT TESSARO_DESKTOP_ENTRY)
  return()
endif()
# In a folder of the desktop's PATH the entry starts the plain command, as distributions want;
# anywhere else it names the executable, and starts it in its own folder as a terminal user would.
# (Install scripts run without the project's policies, so no IN_LIST.)
set(path_folders /usr/bin /bin /usr/local/bin)
list(FIND path_folders "${TESSARO_FULL_BINDIR}" on_path)
if(on_path GREATER -1)
  set(TESSARO_DESKTOP_EXEC "tessaro")
  set(TESSARO_DESKTOP_PATH_LINE "")
else()
  # Exec wants the program in double quotes, with \ " ` $ escaped inside them and % doubled; the
  # value as a whole escapes \ once more.
  set(program "${TESSARO_FULL_BINDIR}/tessaro")
  string(REPLACE "\\" "\\\\" program "${program}")
  string(REPLACE "%" "%%" program "${program}")
  foreach(special "\"" "`" "$")
    string(REPLACE "${special}" "\\${special}" program "${program}")
  endforeach()
  set(TESSARO_DESKTOP_EXEC "\"${program}\"")
  string(REPLACE "\\" "\\\\" TESSARO_DESKTOP_EXEC "${TESSARO_DESKTOP_EXEC}")
  set(TESSARO_DESKTOP_PATH_LINE "Path=${TESSARO_FULL_BINDIR}")
endif()
configure_file("${TESSARO_SOURCE_DIR}/resources/tessaro.desktop.in"
               "${TESSARO_BINARY_DIR}/install/tessaro.desktop" @ONLY)
# file(INSTALL) puts DESTDIR in front by itself.
file(INSTALL "${TESSARO_BINARY_DIR}/install/tessaro.desktop" DESTINATION "${data_home}/applications")
file(INSTALL "${TESSARO_SOURCE_DIR}/resources/art/app.svg"
     DESTINATION "${data_home}/icons/hicolor/scalable/apps" RENAME tessaro.svg)
if(TESSARO_ICON_FOLDER)
  foreach(size ${TESSARO_ICON_SIZES})
    file(INSTALL "${TESSARO_ICON_FOLDER}/${size}x${size}/tessaro.png"
         DESTINATION "${data_home}/icons/hicolor/${size}x${size}/apps")
  endforeach()
endif()
find_program(update_desktop_database update-desktop-database)
if(update_desktop_database AND NOT DEFINED ENV{DESTDIR})
  execute_process(COMMAND "${update_desktop_database}" -q "${data_home}/applications")
endif()
