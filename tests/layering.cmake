# Checks that dependencies point one way: cmake -DROOT=<source tree> -P layering.cmake
#
# The layers, lowest first: frame, preprocessor, analyser, generator. A file
# of a layer may include the headers of its own layer and of the layers below;
# a program entry (a source that defines main, such as frame/sgensq.cpp) sits
# above all. Every library publishes its own folder only, so a header is
# named by its stem: a quoted include with a directory part is refused in the
# layers, and anywhere else (tests, fuzz targets, tools) when it reaches into
# a layer's folder. The build alone does not catch everything: a header of a
# higher layer that is found through a target's other include paths, or a
# lower layer's header that happens to include a higher one, compiles.
# Prints every violation and fails when there is one.
if(NOT ROOT)
  message(FATAL_ERROR "usage: cmake -DROOT=<source tree> -P layering.cmake")
endif()

set(_layers frame preprocessor analyser generator)
set(_entry_rank 4)

# Header name -> rank of the layer that holds it.
set(_rank 0)
foreach(_layer ${_layers})
  file(GLOB _headers RELATIVE ${ROOT}/${_layer} ${ROOT}/${_layer}/*.h)
  foreach(_h ${_headers})
    if(DEFINED _header_rank_${_h})
      list(APPEND _violations "${_layer}/${_h}: the header name is also used by another layer")
    endif()
    set(_header_rank_${_h} ${_rank})
    set(_header_layer_${_h} ${_layer})
  endforeach()
  math(EXPR _rank "${_rank} + 1")
endforeach()

set(_include_regex "^[ \t]*#[ \t]*include[ \t]*\"([^\"]+)\"")

# Layer files: ranks and names.
set(_rank 0)
foreach(_layer ${_layers})
  file(GLOB _files ${ROOT}/${_layer}/*.h ${ROOT}/${_layer}/*.cpp)
  foreach(_file ${_files})
    file(RELATIVE_PATH _name ${ROOT} ${_file})
    set(_own ${_rank})
    file(STRINGS ${_file} _main REGEX "^int main\\(")
    if(_main)
      set(_own ${_entry_rank})
    endif()
    file(STRINGS ${_file} _lines REGEX "${_include_regex}")
    foreach(_line ${_lines})
      string(REGEX REPLACE "${_include_regex}.*" "\\1" _inc "${_line}")
      if(_inc MATCHES "/")
        list(APPEND _violations "${_name}: \"${_inc}\" names a folder, not the header by its stem")
      elseif(NOT DEFINED _header_rank_${_inc})
        list(APPEND _violations "${_name}: \"${_inc}\" is no header of the layers")
      elseif(_header_rank_${_inc} GREATER _own)
        list(APPEND _violations
             "${_name}: \"${_inc}\" belongs to ${_header_layer_${_inc}}, a higher layer")
      endif()
    endforeach()
  endforeach()
  math(EXPR _rank "${_rank} + 1")
endforeach()

# Everything else names the layers' headers by stem too.
file(GLOB_RECURSE _others ${ROOT}/tests/*.h ${ROOT}/tests/*.cpp ${ROOT}/fuzz/*.h ${ROOT}/fuzz/*.cpp
     ${ROOT}/bench/*.h ${ROOT}/bench/*.cpp)
foreach(_file ${_others})
  file(RELATIVE_PATH _name ${ROOT} ${_file})
  # Inputs of the tool under test are not its sources.
  if(_name MATCHES "^tests/(e2e|target)/|/corpus/|/regressions/")
    continue()
  endif()
  file(STRINGS ${_file} _lines REGEX "${_include_regex}")
  foreach(_line ${_lines})
    string(REGEX REPLACE "${_include_regex}.*" "\\1" _inc "${_line}")
    foreach(_layer ${_layers})
      if(_inc MATCHES "(^|/)${_layer}/")
        list(APPEND _violations "${_name}: \"${_inc}\" names a folder, not the header by its stem")
      endif()
    endforeach()
  endforeach()
endforeach()

if(_violations)
  foreach(_v ${_violations})
    message("${_v}")
  endforeach()
  list(LENGTH _violations _count)
  message(FATAL_ERROR "${_count} include(s) against the layering")
endif()
message("layering: every include points down or sideways")
