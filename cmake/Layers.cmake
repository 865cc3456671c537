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
# repository root). A folder exported whole, with its subfolders, when WHOLE is given (tests,
# benchmarks and the command line, which nothing links).
function(tessaro_export_headers target folder)
  cmake_parse_arguments(arg "WHOLE" "" "" ${ARGN})
  set(base ${CMAKE_BINARY_DIR}/include/${target})
  file(REMOVE_RECURSE ${base})
  if(arg_WHOLE)
    get_filename_component(parent ${base}/${folder} DIRECTORY)
    file(MAKE_DIRECTORY ${parent})
    file(CREATE_LINK ${CMAKE_SOURCE_DIR}/${folder} ${base}/${folder} SYMBOLIC)
  else()
    file(MAKE_DIRECTORY ${base}/${folder})
    file(GLOB headers CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${folder}/*.h)
    foreach(header ${headers})
      get_filename_component(name ${header} NAME)
      file(CREATE_LINK ${header} ${base}/${folder}/${name} SYMBOLIC)
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

# A static library of the sources of folder, exporting its headers.
function(tessaro_library target folder)
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${folder}/*.cpp ${CMAKE_SOURCE_DIR}/${folder}/*.h)
  add_library(${target} STATIC ${sources})
  tessaro_export_headers(${target} ${folder})
endfunction()
