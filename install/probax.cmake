# The installation tree that PROBAXDIR names, laid out in the build folder:
# <tree>/lib/locale holds the compiled translations, one file per module and
# locale (prefix_locale.qm), found at run time from the system locale.
set(PROBAX_TREE ${CMAKE_BINARY_DIR}/probax)
set(PROBAX_LOCALE_DIR ${PROBAX_TREE}/lib/locale)
file(MAKE_DIRECTORY ${PROBAX_LOCALE_DIR})

file(GLOB PROBAX_TS_FILES CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/translations/*.ts)
set_source_files_properties(${PROBAX_TS_FILES} PROPERTIES OUTPUT_LOCATION ${PROBAX_LOCALE_DIR})
qt5_add_translation(PROBAX_QM_FILES ${PROBAX_TS_FILES})
add_custom_target(translations ALL DEPENDS ${PROBAX_QM_FILES})
add_dependencies(ortekstart translations)

# "cmake --install build --prefix DIR" gives the same tree under DIR, with the
# tool in DIR/bin: DIR is then the PROBAXDIR of that installation.
install(TARGETS ortekstart ortekbatch RUNTIME DESTINATION bin)
install(FILES ${PROBAX_QM_FILES} DESTINATION lib/locale)

include(${CMAKE_CURRENT_LIST_DIR}/target.cmake)
