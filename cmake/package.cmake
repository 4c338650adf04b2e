# The Debian package, made by CPack from the install rules (scripts/package builds it):
# every program, the desktop integration, the package's copyright and changelog.
set(TQM_PACKAGE_MAINTAINER "TQM-4700 developers <developers@tqm4700-peq.example.org>"
    CACHE STRING "Maintainer field of the Debian package")

set(_tqm_doc ${CMAKE_BINARY_DIR}/generated/doc)
execute_process(COMMAND date -u -R -d "${TQM_RELEASE_DATE} 12:00"
                OUTPUT_VARIABLE TQM_RELEASE_DATE_RFC2822 OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
configure_file(${TQM_SOURCE_ROOT}/resources/debian/copyright ${_tqm_doc}/copyright @ONLY)
configure_file(${TQM_SOURCE_ROOT}/resources/debian/changelog.in ${_tqm_doc}/changelog @ONLY)
add_custom_command(OUTPUT ${_tqm_doc}/changelog.gz
                   COMMAND ${TQM_GZIP} -9nkf changelog
                   DEPENDS ${_tqm_doc}/changelog WORKING_DIRECTORY ${_tqm_doc} VERBATIM)
add_custom_target(tqm_package_doc ALL DEPENDS ${_tqm_doc}/changelog.gz)
install(FILES ${_tqm_doc}/copyright ${_tqm_doc}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/tqm4700-peq)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tqm4700-peq)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${TQM_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "ZR-4700 transceiver microphone equalizer control")
set(CPACK_PACKAGE_DESCRIPTION
    "A desktop program that edits the three-band parametric microphone equalizer\n"
    "of a ZR-4700 transceiver over a serial line, a local port or one served on the\n"
    "network by ser2net. The values are stepped with buttons or on the response\n"
    "graph, and a set is kept in a .pef setting file.\n"
    "\n"
    "The package also holds tqm4700-ctl, which does the same from scripts, and\n"
    "zr4700-sim, a simulated transceiver on a pseudo-terminal.")
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION hamradio)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${PROJECT_HOMEPAGE_URL})
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS OFF)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR})
include(CPack)

unset(_tqm_doc)
