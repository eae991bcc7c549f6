# The windowed program: presentation/ (OpenGL renderer) and shell/window/
# (SDL application, main view, dialogs) on top of marrowick_core.
pkg_check_modules(SDL2 REQUIRED IMPORTED_TARGET sdl2)
pkg_check_modules(IMGUI REQUIRED IMPORTED_TARGET imgui)
pkg_check_modules(FREETYPE REQUIRED IMPORTED_TARGET freetype2)
# Xlib for what SDL does not do on foreign windows (xscreensaver's).
pkg_check_modules(X11 REQUIRED IMPORTED_TARGET x11)
find_package(OpenGL REQUIRED)

file(GLOB GUI_SOURCES CONFIGURE_DEPENDS
  ${CMAKE_SOURCE_DIR}/presentation/*.cpp
  ${CMAKE_SOURCE_DIR}/shell/window/*.cpp)
add_library(marrowick_gui STATIC ${GUI_SOURCES} ${CMAKE_SOURCE_DIR}/cmake/empty.cpp)
# OpenGL 3.3 entry points come straight from Mesa's/the vendor's libGL.
target_compile_definitions(marrowick_gui PUBLIC GL_GLEXT_PROTOTYPES=1)
target_link_libraries(marrowick_gui PUBLIC marrowick_core PkgConfig::SDL2 PkgConfig::IMGUI
                      PkgConfig::FREETYPE OpenGL::GL PkgConfig::X11)

add_executable(marrowick ${CMAKE_SOURCE_DIR}/shell/main.cpp)
target_link_libraries(marrowick PRIVATE marrowick_gui)
target_compile_definitions(marrowick PRIVATE MARROWICK_HAS_GUI=1)

# ---------------------------------------------------------------------------
# Installation (cmake --install): the program; its data folder with a copy of
# resources/ (the texture the media lookup finds, the rule base); the
# xscreensaver settings description; the desktop entry for the window mode.
# ---------------------------------------------------------------------------
include(GNUInstallDirs)
install(TARGETS marrowick RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(DIRECTORY ${CMAKE_SOURCE_DIR}/resources/
        DESTINATION ${CMAKE_INSTALL_DATADIR}/marrowick)
install(FILES ${CMAKE_SOURCE_DIR}/resources/marrowick.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/xscreensaver/config)
install(FILES ${CMAKE_SOURCE_DIR}/resources/marrowick.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)

# Media looked up at run time (the scene texture): the installed data folder
# first, then this copy in the build tree.
file(GLOB MEDIA_FILES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/resources/*.bmp
     ${CMAKE_SOURCE_DIR}/resources/*.png)
set(MEDIA_BUILD_DIR ${CMAKE_BINARY_DIR}/resources)
add_custom_target(marrowick_media
  COMMAND ${CMAKE_COMMAND} -E make_directory ${MEDIA_BUILD_DIR}
  COMMAND ${CMAKE_COMMAND} -E copy_if_different ${MEDIA_FILES} ${MEDIA_BUILD_DIR}
  COMMENT "Copying media files")
add_dependencies(marrowick_gui marrowick_media)
target_compile_definitions(marrowick_gui PRIVATE MARROWICK_BUILD_MEDIA_DIR="${MEDIA_BUILD_DIR}")

# A plain X window for the end-to-end tests to draw into (xscreensaver's part).
if(MARROWICK_TESTS)
  add_executable(marrowick_test_window ${CMAKE_SOURCE_DIR}/tests/e2e/tools/TestWindow.cpp)
  target_link_libraries(marrowick_test_window PRIVATE PkgConfig::X11)
endif()
