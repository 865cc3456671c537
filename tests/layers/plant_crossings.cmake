# Plants one crossing of the layers at a time into a scratch copy of the sources and expects
# cmake/CheckLayers.cmake to fail on it, naming the file and the reason; the untouched copy must
# pass, so that every failure is the planted line's.
#
#   cmake -DSOURCE_DIR=<repository> -DSCRATCH=<folder> -DPUBLIC_INDEX=<a,b,...> -P plant_crossings.cmake
cmake_minimum_required(VERSION 3.25)

set(check ${SOURCE_DIR}/cmake/CheckLayers.cmake)
set(copy ${SCRATCH}/tree)
file(REMOVE_RECURSE ${copy})
file(MAKE_DIRECTORY ${copy})
file(GLOB children RELATIVE ${SOURCE_DIR} ${SOURCE_DIR}/*)
foreach(child ${children})
  if(child MATCHES "^(build|\\.)" OR child STREQUAL "docs")
    continue()
  endif()
  if(IS_DIRECTORY ${SOURCE_DIR}/${child})
    file(COPY ${SOURCE_DIR}/${child} DESTINATION ${copy} FILES_MATCHING PATTERN "*.h" PATTERN "*.cpp")
  elseif(child MATCHES "\\.(cpp|h)$")
    file(COPY ${SOURCE_DIR}/${child} DESTINATION ${copy})
  endif()
endforeach()

function(run_check out_result out_output)
  execute_process(COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${copy} -DPUBLIC_INDEX=${PUBLIC_INDEX} -P ${check}
                  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
  string(REGEX REPLACE "[ \t\r\n]+" " " output "${output}") # the message is wrapped
  set(${out_result} ${result} PARENT_SCOPE)
  set(${out_output} "${output}" PARENT_SCOPE)
endfunction()

run_check(result output)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "The untouched copy fails the check:\n${output}")
endif()

# Each case: the file to plant into (made when missing), the line, a piece of the reason.
set(cases
    "search/SearchEngine.cpp|#include \"../catalogue/Query.h\"|no \"..\" in includes"
    "app/ui/UnAbout.cpp|  #  include \"../../app/AppInfo.h\"|no \"..\" in includes"
    "search/SearchEngine.cpp|#include \"ui/FilterPanel.h\"|is found beside the file"
    "catalogue/Catalogue.cpp|#include \"searchindex/DiscIndex.h\"|is found beside the file"
    "scan/FolderWalk.cpp|#include \"FileLimit.h\"|is found beside the file"
    "catalogue/Catalogue.h|#include \"search/SearchEngine.h\"|may include only lower layers"
    "catalogue/Connection.cpp|#include \"scan/FolderWalk.h\"|may include only lower layers"
    "common/TessaroError.h|#include \"catalogue/Connection.h\"|may include only lower layers"
    "search/SearchEngine.h|#include \"search/ui/FilterPanel.h\"|may include only lower layers"
    "search/Coverage.cpp|#include \"resources/Art.h\"|may include only lower layers"
    "search/ui/FilterPanel.cpp|#include \"app/ui/MessageBoxes.h\"|may include only lower layers"
    "common/ui/Panels.h|#include \"settings/ui/UnSettings.h\"|may include only lower layers"
    "scan/DiscImage.cpp|#include <maintenance/DiscCataloguer.h>|may include only lower layers"
    "settings/Planted.cpp|#include \"settings/ui/DrivePicker.h\"|may include only lower layers"
    "cli/CmdSearch.cpp|#include \"search/ui/FilterPanel.h\"|cli/ sees the core libraries only"
    "maintenance/ui/UnNewCD.cpp|#include \"cli/Output.h\"|nothing outside cli/ includes it"
    "search/CopySearch.cpp|#include \"catalogue/searchindex/DiscIndex.h\"|the search index's insides"
    "app/ui/UnMyForm.h|#include \"catalogue/searchindex/IndexBody.h\"|the search index's insides"
    "extra/Planted.cpp|#include \"common/TessaroError.h\"|extra/ has no place among the layers")

set(missed)
foreach(case ${cases})
  string(REPLACE "|" ";" parts "${case}")
  list(GET parts 0 file)
  list(GET parts 1 line)
  list(GET parts 2 reason)
  set(path ${copy}/${file})
  set(made OFF)
  if(EXISTS ${path})
    file(READ ${path} original)
    file(APPEND ${path} "\n${line}\n")
  else()
    set(made ON)
    file(WRITE ${path} "${line}\n")
  endif()
  run_check(result output)
  if(made)
    file(REMOVE ${path})
  else()
    file(WRITE ${path} "${original}")
  endif()
  string(FIND "${output}" "${file}: " named)
  string(FIND "${output}" "${reason}" reasoned)
  if(result EQUAL 0 OR named EQUAL -1 OR reasoned EQUAL -1)
    list(APPEND missed "${file}: ${line} (expected \"${reason}\", got: ${output})")
  else()
    message(STATUS "refused: ${file}: ${line}")
  endif()
endforeach()

run_check(result output)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "The copy was not restored:\n${output}")
endif()
file(REMOVE_RECURSE ${copy})
if(missed)
  list(LENGTH missed count)
  list(JOIN missed "\n" text)
  message(FATAL_ERROR "${count} planted crossing(s) not refused as expected:\n${text}")
endif()
list(LENGTH cases count)
message(STATUS "All ${count} planted crossings refused")
