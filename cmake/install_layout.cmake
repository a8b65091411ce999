# What `cmake --install` puts under the prefix (default /usr/local) and the Debian package under
# /usr: the programs, the shared data (shared_data.cmake), the manual pages (man_pages.cmake),
# the desktop entries with their icons, the project file type, and the package's documents.
include(GNUInstallDirs)

install(TARGETS halvex dunmore geoconv pktsend simulate trackexport
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${CMAKE_SOURCE_DIR}/data/halvex.desktop ${CMAKE_SOURCE_DIR}/data/dunmore.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_SOURCE_DIR}/data/icons/halvex.svg ${CMAKE_SOURCE_DIR}/data/icons/dunmore.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${CMAKE_SOURCE_DIR}/data/halvex-project.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages RENAME halvex.xml)

# The package's change log, compressed as Debian keeps it (no name or time in the gzip header,
# so that the same source gives the same package).
set(halvex_changelog ${CMAKE_BINARY_DIR}/packaging/changelog.gz)
add_custom_command(OUTPUT ${halvex_changelog}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/packaging
  COMMAND sh -c "gzip -9n -c '${CMAKE_SOURCE_DIR}/packaging/changelog' > '${halvex_changelog}'"
  DEPENDS ${CMAKE_SOURCE_DIR}/packaging/changelog
  VERBATIM)
add_custom_target(package_documents ALL DEPENDS ${halvex_changelog})
install(FILES ${CMAKE_SOURCE_DIR}/packaging/copyright ${halvex_changelog}
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/halvex)
