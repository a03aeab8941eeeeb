# Writes the target directory of the host GCC toolchain (run with cmake -P):
#   -DGCC=<C compiler> -DGXX=<C++ compiler> -DSOURCE=<this folder> -DOUT=<target dir>
# OUT/ana/qzus_c.def reads C sources, OUT/ana/qzus_cpp.def C++17 sources and
# OUT/ana/qzus_cpp98.def C++98 ones; all are ordinary C texts made of the compiler's header search order, its
# predefined macros and the declarations of SOURCE/gnu.def. OUT/lib receives
# the headers of SOURCE/lib.
cmake_minimum_required(VERSION 3.16)

function(compiler_output out)
  execute_process(COMMAND ${ARGN} OUTPUT_VARIABLE text ERROR_VARIABLE err RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "target: '${ARGN}' failed: ${err}")
  endif()
  set(${out} "${text}" PARENT_SCOPE)
  set(${out}_err "${err}" PARENT_SCOPE)
endfunction()

# The text of one standard defines file; lang is c or c++, std the C++
# language mode.
function(defines_text out compiler lang std)
  if(lang STREQUAL "c++")
    set(mode -xc++ -std=${std})
  else()
    set(mode -xc)
  endif()
  compiler_output(macros ${compiler} ${mode} -dM -E /dev/null)
  compiler_output(search ${compiler} ${mode} -v -E /dev/null)
  compiler_output(machine ${compiler} -dumpmachine)
  string(STRIP "${machine}" machine)

  set(t "/* Standard defines of the ${lang} compiler ${compiler} (${machine}).\n")
  string(APPEND t "   Generated when the tool is built; changes belong in gnu.def beside the\n")
  string(APPEND t "   generator, not here. */\n\n")

  # The compiler's own header search, in its order, after the target's lib.
  string(APPEND t "/* Header directories of the compiler, in its search order. */\n")
  string(REGEX REPLACE ".*#include <\\.\\.\\.> search starts here:\n" "" dirs "${search_err}")
  string(REGEX REPLACE "End of search list\\..*" "" dirs "${dirs}")
  string(REPLACE "\n" ";" dirs "${dirs}")
  foreach(d IN LISTS dirs)
    string(STRIP "${d}" d)
    if(d AND IS_DIRECTORY "${d}")
      get_filename_component(d "${d}" ABSOLUTE)
      string(APPEND t "#pragma ortek incl_std \"${d}\"\n")
    endif()
  endforeach()

  # Predefined macros. __USER_LABEL_PREFIX__ is left out: it is empty, it
  # only serves names at the assembly level, and as the empty argument that
  # the library's name-redirection macros pass on it would be reported as a
  # missing macro argument.
  string(APPEND t "\n/* Predefined macros of the compiler. */\n")
  string(REPLACE "\n" ";" lines "${macros}")
  list(SORT lines)
  set(sizes "")
  foreach(l IN LISTS lines)
    if(NOT l MATCHES "^#define ([A-Za-z_][A-Za-z0-9_]*)")
      continue()
    endif()
    set(name "${CMAKE_MATCH_1}")
    if(name STREQUAL "__USER_LABEL_PREFIX__" OR name MATCHES "^__has_")
      continue()
    endif()
    # In C++ the 128-bit integers are left out altogether: the library
    # would specialise its traits for them next to those of long long, which
    # they stand for here (gnu.def).
    if(lang STREQUAL "c++" AND name MATCHES "^(__SIZEOF_INT128__|__GLIBCXX_(TYPE|BITSIZE)_INT_N_0)$")
      continue()
    endif()
    string(APPEND t "${l}\n")
    if(l MATCHES "^#define __SIZEOF_(INT|SHORT|LONG|LONG_LONG)__ ([0-9]+)$")
      set(type_${CMAKE_MATCH_1} ${CMAKE_MATCH_2})
    elseif(l MATCHES "^#define __CHAR_BIT__ ([0-9]+)$")
      set(char_bits ${CMAKE_MATCH_1})
    elseif(name STREQUAL "__CHAR_UNSIGNED__")
      set(char_unsigned 1)
    endif()
  endforeach()

  # Type sizes and the sign of char, as the analyser reads constants.
  string(APPEND t "\n/* Sizes in bits of the basic types, and the sign of char. */\n")
  string(APPEND t "#pragma ortek sizeof(char) = ${char_bits}\n")
  foreach(pair "short;SHORT" "int;INT" "long;LONG" "longlong;LONG_LONG")
    list(GET pair 0 type)
    list(GET pair 1 key)
    math(EXPR bits "${type_${key}} * ${char_bits}")
    string(APPEND t "#pragma ortek sizeof(${type}) = ${bits}\n")
  endforeach()
  if(char_unsigned)
    string(APPEND t "#pragma ortek signof(char) = unsigned\n")
  else()
    string(APPEND t "#pragma ortek signof(char) = signed\n")
  endif()

  file(READ "${SOURCE}/gnu.def" gnu)
  string(APPEND t "\n${gnu}")
  set(${out} "${t}" PARENT_SCOPE)
endfunction()

foreach(v GCC GXX SOURCE OUT)
  if(NOT DEFINED ${v})
    message(FATAL_ERROR "target: ${v} is not set")
  endif()
endforeach()

defines_text(c_text "${GCC}" c "")
# C++ sources are read as the language they are written in today: before
# 2011 the library stops at its first C++11 header (<cstdint> is an #error),
# and __cplusplus must say what the code assumes. The mode of 1998 stays for
# code bases that keep to it, and for the library headers that only read
# cleanly in that mode.
defines_text(cpp_text "${GXX}" c++ gnu++17)
defines_text(cpp98_text "${GXX}" c++ gnu++98)
file(MAKE_DIRECTORY "${OUT}/ana" "${OUT}/lib")
file(WRITE "${OUT}/ana/qzus_c.def" "${c_text}")
file(WRITE "${OUT}/ana/qzus_cpp.def" "${cpp_text}")
file(WRITE "${OUT}/ana/qzus_cpp98.def" "${cpp98_text}")
file(GLOB headers "${SOURCE}/lib/*")
foreach(h IN LISTS headers)
  file(COPY "${h}" DESTINATION "${OUT}/lib")
endforeach()
