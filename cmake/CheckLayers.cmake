# Checks that every source includes only what its layer may see, reading the includes themselves.
#
#   cmake -DSOURCE_DIR=<repository> -DPUBLIC_INDEX=<header,...> -P cmake/CheckLayers.cmake
#
# The include directories of cmake/Layers.cmake stop most crossings at compile time, but not the
# compiler's first look for a quoted include, beside the including file: "ui/Grid.h" in search/
# or "../app/ui/UnMyForm.h" would compile. So this check fails on
# - any include with ".." in its path;
# - a quoted include found beside the including file (outside the repository root): every
#   header is written from the root ("search/ui/ResultGrid.h"), where the layers can judge it;
# - an include against the layers: windows -> maintenance/search/settings -> catalogue/scan ->
#   common, each window folder above common/ui and app/ui above the others;
# - a header of catalogue/searchindex/ other than the public ones (PUBLIC_INDEX), outside the
#   catalogue, the tests, the benchmarks and the tools.
# A file in a folder the table below does not know fails too: a new folder gets its place here.

cmake_minimum_required(VERSION 3.25)

# Layers by height; a layer may include its own folder and any layer lower than itself.
set(tessaro_layer_rank_common 0)
set(tessaro_layer_rank_catalogue 1)
set(tessaro_layer_rank_scan 1)
set(tessaro_layer_rank_app 1)
set(tessaro_layer_rank_maintenance 2)
set(tessaro_layer_rank_search 2)
set(tessaro_layer_rank_settings 2)
set(tessaro_layer_rank_common/ui 3)
set(tessaro_layer_rank_resources 3)
set(tessaro_layer_rank_maintenance/ui 4)
set(tessaro_layer_rank_search/ui 4)
set(tessaro_layer_rank_settings/ui 4)
set(tessaro_layer_rank_app/ui 5)
# Programs over the core libraries: they see the cores (rank 2 and lower) and their own folder;
# nothing else includes them.
set(tessaro_programs cli bench tools)
# The tests and main.cpp (".") may include any layer; nothing else includes them.
set(tessaro_tops tests .)

# The layer of a path relative to the repository root: its first folder, with "/ui" when the
# second is ui; "." for files at the root.
function(tessaro_layer_of path out)
  if(NOT path MATCHES "/")
    set(${out} "." PARENT_SCOPE)
  elseif(path MATCHES "^([^/]+)/ui/")
    set(${out} "${CMAKE_MATCH_1}/ui" PARENT_SCOPE)
  else()
    string(REGEX REPLACE "/.*" "" top "${path}")
    set(${out} "${top}" PARENT_SCOPE)
  endif()
endfunction()

# Why `from` may not include `to` (layers), or empty when it may.
function(tessaro_layer_refusal from to out)
  set(why "")
  if(from STREQUAL to)
  elseif(to IN_LIST tessaro_programs OR to IN_LIST tessaro_tops)
    set(why "nothing outside ${to}/ includes it")
  elseif(NOT DEFINED tessaro_layer_rank_${to})
    set(why "${to}/ has no place among the layers (cmake/CheckLayers.cmake)")
  elseif(from IN_LIST tessaro_tops)
  elseif(from IN_LIST tessaro_programs)
    if(tessaro_layer_rank_${to} GREATER 2)
      set(why "${from}/ sees the core libraries only")
    endif()
  elseif(NOT DEFINED tessaro_layer_rank_${from})
    set(why "${from}/ has no place among the layers (cmake/CheckLayers.cmake)")
  elseif(NOT tessaro_layer_rank_${to} LESS tessaro_layer_rank_${from})
    set(why "${from} may include only lower layers (windows -> maintenance/search/settings -> "
            "catalogue/scan -> common)")
  endif()
  set(${out} "${why}" PARENT_SCOPE)
endfunction()

# The problems of the tree at root, one line each, into out.
function(tessaro_check_layers root public out)
  set(problems)
  file(GLOB children RELATIVE ${root} ${root}/*)
  set(files)
  foreach(child ${children})
    # Build folders, hidden ones (.git) and the documentation hold no sources of the program.
    if(child MATCHES "^(build|\\.)" OR child STREQUAL "docs")
      continue()
    endif()
    if(IS_DIRECTORY ${root}/${child})
      file(GLOB_RECURSE found RELATIVE ${root} ${root}/${child}/*.cpp ${root}/${child}/*.h ${root}/${child}/*.c)
      list(APPEND files ${found})
    elseif(child MATCHES "\\.(cpp|h|c)$")
      list(APPEND files ${child})
    endif()
  endforeach()
  foreach(file ${files})
    tessaro_layer_of(${file} layer)
    get_filename_component(folder ${file} DIRECTORY)
    file(STRINGS ${root}/${file} lines REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"]")
    foreach(line ${lines})
      if(NOT line MATCHES "include[ \t]*([<\"])([^>\"]+)[>\"]")
        continue()
      endif()
      set(quoted OFF)
      if(CMAKE_MATCH_1 STREQUAL "\"")
        set(quoted ON)
      endif()
      set(include "${CMAKE_MATCH_2}")
      if(include MATCHES "(^|/)\\.\\.(/|$)")
        list(APPEND problems "${file}: #include \"${include}\": no \"..\" in includes, write it from the repository root")
        continue()
      endif()
      if(quoted AND NOT folder STREQUAL "" AND EXISTS ${root}/${folder}/${include})
        list(APPEND problems
             "${file}: #include \"${include}\" is found beside the file; write it from the repository root")
        continue()
      endif()
      if(NOT EXISTS ${root}/${include} OR IS_DIRECTORY ${root}/${include})
        continue() # Qt, SQLite, the standard library, generated files
      endif()
      tessaro_layer_of(${include} target)
      tessaro_layer_refusal(${layer} ${target} why)
      if(why)
        list(APPEND problems "${file}: #include \"${include}\": ${why}")
        continue()
      endif()
      if(layer MATCHES "^(catalogue|tests|bench|tools)$" OR NOT include MATCHES "^catalogue/searchindex/([^/]+)$")
        continue()
      endif()
      if(NOT CMAKE_MATCH_1 IN_LIST public)
        string(REPLACE ";" ", " shown "${public}")
        list(APPEND problems
             "${file}: #include \"${include}\": the search index's insides are the catalogue's own (public: ${shown})")
      endif()
    endforeach()
  endforeach()
  set(${out} "${problems}" PARENT_SCOPE)
endfunction()

if(CMAKE_SCRIPT_MODE_FILE AND DEFINED SOURCE_DIR)
  string(REPLACE "," ";" public "${PUBLIC_INDEX}")
  tessaro_check_layers(${SOURCE_DIR} "${public}" problems)
  if(problems)
    list(LENGTH problems count)
    list(JOIN problems "\n" text)
    message(FATAL_ERROR "${count} include(s) across the layers:\n${text}")
  endif()
  message(STATUS "Every include keeps to the layers")
endif()
