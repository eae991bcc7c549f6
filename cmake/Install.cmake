# Installation (cmake --install): the program; its data folder with a copy of
# resources/ (the texture the media lookup finds, the rule base); the
# xscreensaver settings description; the desktop entry for the window mode.
include(GNUInstallDirs)
install(TARGETS marrowick RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(DIRECTORY ${CMAKE_SOURCE_DIR}/resources/
        DESTINATION ${CMAKE_INSTALL_DATADIR}/marrowick)
install(FILES ${CMAKE_SOURCE_DIR}/resources/marrowick.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/xscreensaver/config)
install(FILES ${CMAKE_SOURCE_DIR}/resources/marrowick.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
