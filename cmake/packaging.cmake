# The Debian package, built by CPack from the install rules (scripts/package):
# build/halvex_VERSION_amd64.deb, installing under /usr. Library dependencies come from
# dpkg-shlibdeps; the world map the tracker opens on comes from xplanet-images.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME halvex)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_CONTACT "The halvex developers <maintainers@users.noreply.c-seed-55831c79.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "real-time vehicle tracking display and field report converter")
# The extended description; CPack indents it and marks the empty line between paragraphs.
set(CPACK_PACKAGE_DESCRIPTION
    "halvex follows vehicles that report their positions over UDP multicast, in
state files or from a remote HTTP/1.0 server, and draws them with idle status,
target, chase and nearest vehicles in an OpenGL view over geo-referenced maps,
with positions read out as latitude/longitude and MGRS.

dunmore converts written field reports into one typed CSV file. geoconv
converts between geodetic, UTM, UPS and MGRS positions; pktsend and simulate
drive simulated vehicles for exercises and tests; trackexport writes recorded
tracks as GPX, KML, GeoJSON or CSV.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS xplanet-images)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# Folders 0755 whatever the umask of the machine that builds the package.
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
    GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
include(CPack)
