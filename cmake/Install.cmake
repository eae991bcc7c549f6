# Installation (cmake --install, and the Debian package of cmake/Package.cmake):
#   bin/marrowick                          the program
#   libexec/xscreensaver/marrowick         a link to it, where xscreensaver
#                                          looks for its hacks
#   share/marrowick/                       the built-in defaults: the texture
#                                          and the rule base
#   share/xscreensaver/config/marrowick.xml  the settings description
#   share/applications/marrowick.desktop   the window mode's menu entry
#   share/man/man6/marrowick.6.gz          the manual page
#   share/doc/marrowick/                   copyright and changelog
# Every path is relative to the prefix, so the same rules serve /usr/local
# and the package's /usr. The program finds its data folder next to itself
# (../share/marrowick from the executable), wherever the prefix is.
include(GNUInstallDirs)

# The programs. A further executable (a helper process, say) joins this list.
set(MARROWICK_INSTALL_PROGRAMS marrowick)
install(TARGETS ${MARROWICK_INSTALL_PROGRAMS} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# The data folder holds only what the program reads at run time.
set(MARROWICK_DATA_FILES
    ${CMAKE_SOURCE_DIR}/resources/texture.bmp
    ${CMAKE_SOURCE_DIR}/resources/Rules.clp)
install(FILES ${MARROWICK_DATA_FILES} DESTINATION ${CMAKE_INSTALL_DATADIR}/marrowick)

install(FILES ${CMAKE_SOURCE_DIR}/resources/marrowick.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/xscreensaver/config)
install(FILES ${CMAKE_SOURCE_DIR}/resources/marrowick.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)

# xscreensaver starts hacks from its own folder (it also searches PATH). The
# link is relative so that it stays right inside a package or a staging root.
set(MARROWICK_HACK_DIR ${CMAKE_INSTALL_LIBEXECDIR}/xscreensaver)
install(CODE "
  set(hack_dir \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${MARROWICK_HACK_DIR}\")
  file(MAKE_DIRECTORY \"\${hack_dir}\")
  message(STATUS \"Installing: \${hack_dir}/marrowick -> ../../${CMAKE_INSTALL_BINDIR}/marrowick\")
  file(CREATE_LINK \"../../${CMAKE_INSTALL_BINDIR}/marrowick\" \"\${hack_dir}/marrowick\" SYMBOLIC)
")

# Manual pages and the changelog are installed compressed, as Debian wants
# them; -n keeps the name and time out, so the archive is reproducible.
find_program(GZIP_PROGRAM gzip REQUIRED)
set(MARROWICK_DOC_BUILD_DIR ${CMAKE_BINARY_DIR}/doc)
function(marrowick_gzip source output)
  add_custom_command(
    OUTPUT ${output}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${MARROWICK_DOC_BUILD_DIR}
    COMMAND ${GZIP_PROGRAM} -9nc ${source} > ${output}
    DEPENDS ${source}
    COMMENT "Compressing ${source}")
endfunction()
set(MARROWICK_MANPAGE_GZ ${MARROWICK_DOC_BUILD_DIR}/marrowick.6.gz)
set(MARROWICK_CHANGELOG_GZ ${MARROWICK_DOC_BUILD_DIR}/changelog.gz)
marrowick_gzip(${CMAKE_SOURCE_DIR}/resources/marrowick.6 ${MARROWICK_MANPAGE_GZ})
marrowick_gzip(${CMAKE_SOURCE_DIR}/resources/debian/changelog ${MARROWICK_CHANGELOG_GZ})
add_custom_target(marrowick_docs ALL DEPENDS ${MARROWICK_MANPAGE_GZ} ${MARROWICK_CHANGELOG_GZ})

install(FILES ${MARROWICK_MANPAGE_GZ} DESTINATION ${CMAKE_INSTALL_MANDIR}/man6)
install(FILES ${MARROWICK_CHANGELOG_GZ} ${CMAKE_SOURCE_DIR}/resources/debian/copyright
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/marrowick)
