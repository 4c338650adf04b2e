# Installation of the desktop integration: desktop entry, icon and manual pages.
# The executables install themselves from their folders (app/, sim/), so that a
# build without the window still installs the simulator.
include(GNUInstallDirs)

set(_tqm_resources ${TQM_SOURCE_ROOT}/resources)

install(FILES ${_tqm_resources}/tqm4700-peq.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${_tqm_resources}/icons/tqm4700-peq.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

install(FILES ${_tqm_resources}/tqm4700-peq.1 ${_tqm_resources}/tqm4700-ctl.1 ${TQM_SOURCE_ROOT}/sim/zr4700-sim.1
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
# Completion of tqm4700-ctl's commands and options, loaded by bash-completion on demand.
install(FILES ${_tqm_resources}/tqm4700-ctl.bash
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME tqm4700-ctl)

unset(_tqm_resources)
