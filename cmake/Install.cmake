# Installation (cmake --install, and the Debian package: debian/rules):
#   bin/marrowick                            the program
#   libexec/marrowick/marrowick-engine       the rule engine's process
#   share/marrowick/                         the built-in defaults: the rule
#                                            base and the texture, and the
#                                            gallery of rule bases (rules/)
#   share/man/man6/marrowick.6               the manual page
# and with the window (MARROWICK_GUI):
#   libexec/marrowick/marrowick-window       the screen saver and the window,
#                                            which the program executes for
#                                            those modes
#   libexec/xscreensaver/marrowick           a link to the program, where
#                                            xscreensaver looks for its hacks
#   share/xscreensaver/config/marrowick.xml  the settings xscreensaver offers
#   share/applications/marrowick.desktop     the window mode's menu entry
#   share/icons/hicolor/scalable/apps/marrowick.svg  its icon
#
# The program finds its engine, its window program and its data folder from its
# own executable (../libexec/marrowick, ../share/marrowick: policy/
# EngineLocation.h, settings/UserFiles.h), so the three folders are named here as they are looked
# for, whatever CMAKE_INSTALL_BINDIR or CMAKE_INSTALL_LIBEXECDIR say, and the
# same binaries serve /usr, /usr/local or any other prefix. Nothing of the
# build tree is compiled into them.
include(GNUInstallDirs)

install(TARGETS marrowick RUNTIME DESTINATION bin)
install(TARGETS marrowick-engine RUNTIME DESTINATION libexec/marrowick)
install(FILES ${CMAKE_SOURCE_DIR}/resources/Rules.clp ${CMAKE_SOURCE_DIR}/resources/texture.bmp
        DESTINATION share/marrowick)
# The shipped rule bases are built in; these copies are for reading and
# copying (the program names them when it lists the gallery).
file(GLOB MARROWICK_GALLERY CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/resources/rules/*.clp)
install(FILES ${MARROWICK_GALLERY} DESTINATION share/marrowick/rules)
# Debian's tools compress it in the package (dh_compress); man reads either.
install(FILES ${CMAKE_SOURCE_DIR}/resources/marrowick.6 DESTINATION ${CMAKE_INSTALL_MANDIR}/man6)

if(NOT TARGET marrowick_presentation)
  return()  # a build without the window is no screen saver and has no menu entry
endif()

install(TARGETS marrowick-window RUNTIME DESTINATION libexec/marrowick)

install(FILES ${CMAKE_SOURCE_DIR}/resources/marrowick.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/xscreensaver/config)
install(FILES ${CMAKE_SOURCE_DIR}/resources/marrowick.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_SOURCE_DIR}/resources/marrowick.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

# xscreensaver starts hacks from its own folder (it also searches PATH). The
# link is relative so that it stays right inside a package or a staging root;
# the program, started through it, still finds its own folder (the kernel
# names the executable by its real path).
install(CODE "
  set(hack_dir \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/libexec/xscreensaver\")
  file(MAKE_DIRECTORY \"\${hack_dir}\")
  message(STATUS \"Installing: \${hack_dir}/marrowick -> ../../bin/marrowick\")
  file(CREATE_LINK \"../../bin/marrowick\" \"\${hack_dir}/marrowick\" SYMBOLIC)
")
