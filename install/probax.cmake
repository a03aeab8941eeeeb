# The installation tree that PROBAXDIR names, laid out in the build folder.
set(PROBAX_TREE ${CMAKE_BINARY_DIR}/probax)
file(MAKE_DIRECTORY ${PROBAX_TREE}/lib/locale)
