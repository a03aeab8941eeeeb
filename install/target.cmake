# The target directory of the host GCC toolchain, <tree>/target/gcc, usable
# as QZLTGT: ana/qzus_c.def (C), ana/qzus_cpp.def (C++17, the default of a
# tested file with a C++ suffix) and ana/qzus_cpp98.def (C++98) are generated
# from the compilers found at configure time, lib/ holds the target's own
# headers. Without a GCC the tree has no target directory.
find_program(ORTEK_HOST_GCC NAMES gcc)
find_program(ORTEK_HOST_GXX NAMES g++)
set(PROBAX_TARGET_DIR ${PROBAX_TREE}/target/gcc)
if(ORTEK_HOST_GCC AND ORTEK_HOST_GXX)
  file(GLOB _target_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/target/*.cmake
       ${CMAKE_CURRENT_LIST_DIR}/target/*.def ${CMAKE_CURRENT_LIST_DIR}/target/lib/*)
  add_custom_command(
    OUTPUT ${PROBAX_TARGET_DIR}/ana/qzus_c.def ${PROBAX_TARGET_DIR}/ana/qzus_cpp.def
           ${PROBAX_TARGET_DIR}/ana/qzus_cpp98.def
    COMMAND ${CMAKE_COMMAND} -DGCC=${ORTEK_HOST_GCC} -DGXX=${ORTEK_HOST_GXX}
            -DSOURCE=${CMAKE_CURRENT_LIST_DIR}/target -DOUT=${PROBAX_TARGET_DIR}
            -P ${CMAKE_CURRENT_LIST_DIR}/target/gentarget.cmake
    DEPENDS ${_target_sources} ${ORTEK_HOST_GCC} ${ORTEK_HOST_GXX}
    COMMENT "Target directory of the host GCC in ${PROBAX_TARGET_DIR}")
  add_custom_target(target_gcc ALL DEPENDS ${PROBAX_TARGET_DIR}/ana/qzus_c.def ${PROBAX_TARGET_DIR}/ana/qzus_cpp.def
                    ${PROBAX_TARGET_DIR}/ana/qzus_cpp98.def)
  add_dependencies(ortekstart target_gcc)
  install(DIRECTORY ${PROBAX_TARGET_DIR} DESTINATION target)
else()
  message(STATUS "No gcc and g++ found: the tree gets no target directory")
endif()
