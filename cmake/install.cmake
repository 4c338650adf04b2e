# Installation of the desktop integration: desktop entry, desktop metadata, MIME type of
# the setting files, icon, manual pages and bash completion, in the standard places
# under the prefix. The executables install themselves from their folders (app/, sim/),
# so that a build without the window still installs the simulator.
include(GNUInstallDirs)

set(_tqm_resources ${TQM_SOURCE_ROOT}/resources)
set(_tqm_generated ${CMAKE_BINARY_DIR}/generated)

install(FILES ${_tqm_resources}/tqm4700-peq.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${_tqm_resources}/icons/tqm4700-peq.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${_tqm_resources}/tqm4700-peq-mime.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages RENAME tqm4700-peq.xml)
# Completion of tqm4700-ctl's commands and options, loaded by bash-completion on demand.
install(FILES ${_tqm_resources}/tqm4700-ctl.bash
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME tqm4700-ctl)

# The metadata and the manual pages carry the version and its date from CMakeLists.txt.
configure_file(${_tqm_resources}/tqm4700-peq.metainfo.xml.in
               ${_tqm_generated}/${TQM_APP_ID}.metainfo.xml @ONLY)
install(FILES ${_tqm_generated}/${TQM_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# The manual pages, compressed as the man-db of a distribution expects them.
find_program(TQM_GZIP gzip REQUIRED)
set(_tqm_pages)
foreach(_tqm_page ${_tqm_resources}/tqm4700-peq.1.in ${_tqm_resources}/tqm4700-ctl.1.in
                  ${TQM_SOURCE_ROOT}/sim/zr4700-sim.1.in)
  get_filename_component(_tqm_name ${_tqm_page} NAME_WLE)
  configure_file(${_tqm_page} ${_tqm_generated}/man/${_tqm_name} @ONLY)
  add_custom_command(OUTPUT ${_tqm_generated}/man/${_tqm_name}.gz
                     COMMAND ${TQM_GZIP} -9nkf ${_tqm_name}
                     DEPENDS ${_tqm_generated}/man/${_tqm_name}
                     WORKING_DIRECTORY ${_tqm_generated}/man VERBATIM)
  list(APPEND _tqm_pages ${_tqm_generated}/man/${_tqm_name}.gz)
endforeach()
add_custom_target(tqm_manual_pages ALL DEPENDS ${_tqm_pages})
install(FILES ${_tqm_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

unset(_tqm_resources)
unset(_tqm_generated)
unset(_tqm_pages)
