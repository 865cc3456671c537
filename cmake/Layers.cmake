# The layers of the program, enforced by the build.
#
# Sources include each other by folder ("catalogue/Query.h", "search/ui/FilterPanel.h"), but the
# repository root is never an include directory: a library could then include any folder, above
# it as well as below. Each library instead gets an include directory of its own under
# build/include/<library>/ that holds links to the headers of its one folder only (search/*.h for
# tessaro_search, search/ui/*.h for tessaro_search_ui), and hands it on only to what links it.
# A folder's headers are thus visible to the library itself and to the libraries and programs
# that link it, and to nothing else: a core library that includes a window header, or any
# folder that includes a folder it does not link, fails to compile.

# Gives target the include directory that exports the headers of folder (relative to the
# repository root), and of the SUBFOLDERS named. A folder exported whole, with its subfolders,
# when WHOLE is given (tests, benchmarks and the command line, which nothing links).
function(tessaro_export_headers target folder)
  cmake_parse_arguments(arg "WHOLE" "" "SUBFOLDERS" ${ARGN})
  set(base ${CMAKE_BINARY_DIR}/include/${target})
  file(REMOVE_RECURSE ${base})
  if(arg_WHOLE)
    get_filename_component(parent ${base}/${folder} DIRECTORY)
    file(MAKE_DIRECTORY ${parent})
    file(CREATE_LINK ${CMAKE_SOURCE_DIR}/${folder} ${base}/${folder} SYMBOLIC)
  else()
    foreach(dir ${folder} ${arg_SUBFOLDERS})
      if(NOT dir STREQUAL folder)
        set(dir ${folder}/${dir})
      endif()
      file(MAKE_DIRECTORY ${base}/${dir})
      file(GLOB headers CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${dir}/*.h)
      foreach(header ${headers})
        get_filename_component(name ${header} NAME)
        file(CREATE_LINK ${header} ${base}/${dir}/${name} SYMBOLIC)
      endforeach()
    endforeach()
  endif()
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "INTERFACE_LIBRARY")
    target_include_directories(${target} INTERFACE ${base})
  elseif(type STREQUAL "EXECUTABLE")
    target_include_directories(${target} PRIVATE ${base})
  else()
    target_include_directories(${target} PUBLIC ${base})
  endif()
endfunction()

# A static library of the sources of folder and of its SUBFOLDERS, exporting their headers.
function(tessaro_library target folder)
  cmake_parse_arguments(arg "" "" "SUBFOLDERS" ${ARGN})
  set(sources)
  foreach(dir ${folder} ${arg_SUBFOLDERS})
    if(NOT dir STREQUAL folder)
      set(dir ${folder}/${dir})
    endif()
    file(GLOB found CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${dir}/*.cpp ${CMAKE_SOURCE_DIR}/${dir}/*.h)
    list(APPEND sources ${found})
  endforeach()
  add_library(${target} STATIC ${sources})
  tessaro_export_headers(${target} ${folder} SUBFOLDERS ${arg_SUBFOLDERS})
endfunction()

# Adds the sources of subfolder (of the library's folder) to library, whose insides they are:
# their headers are seen by the library itself and by what links `internals` (the tests and
# benchmarks), and by everything else only as far as they are named PUBLIC. A public header may
# include only public ones.
function(tessaro_library_insides library internals folder)
  cmake_parse_arguments(arg "" "" "PUBLIC" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${folder}/*.cpp ${CMAKE_SOURCE_DIR}/${folder}/*.h)
  target_sources(${library} PRIVATE ${sources})
  set(public ${CMAKE_BINARY_DIR}/include/${library}/${folder})
  file(MAKE_DIRECTORY ${public})
  foreach(name ${arg_PUBLIC})
    if(NOT EXISTS ${CMAKE_SOURCE_DIR}/${folder}/${name})
      message(FATAL_ERROR "${folder}/${name}, named public, does not exist")
    endif()
    file(CREATE_LINK ${CMAKE_SOURCE_DIR}/${folder}/${name} ${public}/${name} SYMBOLIC)
  endforeach()
  set(base ${CMAKE_BINARY_DIR}/include/${internals})
  file(REMOVE_RECURSE ${base})
  file(MAKE_DIRECTORY ${base}/${folder})
  file(GLOB headers CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${folder}/*.h)
  foreach(header ${headers})
    get_filename_component(name ${header} NAME)
    file(CREATE_LINK ${header} ${base}/${folder}/${name} SYMBOLIC)
  endforeach()
  target_include_directories(${library} PRIVATE ${base})
  add_library(${internals} INTERFACE)
  target_include_directories(${internals} INTERFACE ${base})
  target_link_libraries(${internals} INTERFACE ${library})
endfunction()
