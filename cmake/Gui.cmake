# presentation/: the OpenGL renderer (SDL2 window and context, OpenGL 3.3,
# FreeType text), on top of the simulation layer.
pkg_check_modules(SDL2 REQUIRED IMPORTED_TARGET sdl2)
pkg_check_modules(IMGUI REQUIRED IMPORTED_TARGET imgui)
pkg_check_modules(FREETYPE REQUIRED IMPORTED_TARGET freetype2)
pkg_check_modules(STB REQUIRED IMPORTED_TARGET stb)
# Xlib for what SDL does not do on foreign windows (xscreensaver's).
pkg_check_modules(X11 REQUIRED IMPORTED_TARGET x11)
find_package(OpenGL REQUIRED)

marrowick_layer(presentation)
# OpenGL 3.3 entry points come straight from Mesa's/the vendor's libGL.
target_compile_definitions(marrowick_presentation PUBLIC GL_GLEXT_PROTOTYPES=1)
target_link_libraries(marrowick_presentation PUBLIC marrowick_simulation PkgConfig::SDL2
                      PkgConfig::FREETYPE PkgConfig::STB OpenGL::GL)
target_compile_definitions(marrowick_presentation PRIVATE
  MARROWICK_DATA_DIR="${CMAKE_INSTALL_PREFIX}/share/marrowick")

# Media looked up at run time (the scene texture): the installed data folder
# first, then this copy in the build tree, beside the program (found from the
# executable: presentation/MediaFile.h).
file(GLOB MEDIA_FILES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/resources/*.bmp
     ${CMAKE_SOURCE_DIR}/resources/*.png)
set(MEDIA_BUILD_DIR ${CMAKE_BINARY_DIR}/resources)
add_custom_target(marrowick_media
  COMMAND ${CMAKE_COMMAND} -E make_directory ${MEDIA_BUILD_DIR}
  COMMAND ${CMAKE_COMMAND} -E copy_if_different ${MEDIA_FILES} ${MEDIA_BUILD_DIR}
  COMMENT "Copying media files")
add_dependencies(marrowick_presentation marrowick_media)

# A plain X window for the end-to-end tests to draw into (xscreensaver's part).
if(MARROWICK_TESTS)
  add_executable(marrowick_test_window ${CMAKE_SOURCE_DIR}/tests/e2e/tools/TestWindow.cpp)
  target_link_libraries(marrowick_test_window PRIVATE PkgConfig::X11)
endif()
