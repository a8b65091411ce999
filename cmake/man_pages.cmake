# The manual pages of the programs, section 1: help2man makes each from the program's own
# --help and --version and the hand-written sections in man/<program>.h2m, and gzip compresses
# it as Debian keeps manual pages. `make`/`ninja` builds them (target man_pages); the install
# puts the compressed pages in share/man/man1.
include(GNUInstallDirs)

find_program(HELP2MAN_EXECUTABLE help2man)
if(NOT HELP2MAN_EXECUTABLE)
  message(FATAL_ERROR "help2man not found: the manual pages need it "
                      "(Debian package help2man: apt-get install help2man, or run scripts/setup)")
endif()
find_program(GZIP_EXECUTABLE gzip REQUIRED)

# The date help2man writes into every page: the release date of this version (packaging/changelog,
# 10 Dec 2026 12:00 UTC), not the build's, so that every build of one version makes the same page.
set(HALVEX_MAN_DATE_EPOCH 1796904000)

set(HALVEX_MAN_DIR ${CMAKE_BINARY_DIR}/man)
set(halvex_man_pages "")

# halvex_man_page(PROGRAM "one-line description"): man/PROGRAM.1 and man/PROGRAM.1.gz in the
# build folder, from the program built here (run without a display, in the C locale).
function(halvex_man_page program description)
  set(page ${HALVEX_MAN_DIR}/${program}.1)
  set(include ${CMAKE_SOURCE_DIR}/man/${program}.h2m)
  add_custom_command(OUTPUT ${page} ${page}.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${HALVEX_MAN_DIR}
    COMMAND env -u DISPLAY LC_ALL=C SOURCE_DATE_EPOCH=${HALVEX_MAN_DATE_EPOCH}
            ${HELP2MAN_EXECUTABLE} --no-info --name=${description} --include=${include}
            --output=${page} $<TARGET_FILE:${program}>
    COMMAND ${GZIP_EXECUTABLE} -9nkf ${page}
    DEPENDS ${program} ${include}
    COMMENT "Manual page ${program}.1"
    VERBATIM)
  set(halvex_man_pages ${halvex_man_pages} ${page}.gz PARENT_SCOPE)
endfunction()

halvex_man_page(halvex "real-time vehicle tracking display on geo-referenced maps")
halvex_man_page(dunmore "convert written field reports into one CSV file")
halvex_man_page(geoconv "convert positions between geodetic, UTM, UPS and MGRS")
halvex_man_page(pktsend "send position packets of simulated vehicles to a multicast group")
halvex_man_page(simulate "drive a simulated vehicle fleet and rewrite its state file")
halvex_man_page(trackexport "write the tracks of a track recording as GPX, KML, GeoJSON or CSV")

add_custom_target(man_pages ALL DEPENDS ${halvex_man_pages})
install(FILES ${halvex_man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
