# The windowed program: presentation/ (OpenGL renderer) and shell/window/
# (SDL application, main view, dialogs) on top of marrowick_core.
pkg_check_modules(SDL2 REQUIRED IMPORTED_TARGET sdl2)
pkg_check_modules(IMGUI REQUIRED IMPORTED_TARGET imgui)
pkg_check_modules(FREETYPE REQUIRED IMPORTED_TARGET freetype2)
find_package(OpenGL REQUIRED)

file(GLOB GUI_SOURCES CONFIGURE_DEPENDS
  ${CMAKE_SOURCE_DIR}/presentation/*.cpp
  ${CMAKE_SOURCE_DIR}/shell/window/*.cpp)
add_library(marrowick_gui STATIC ${GUI_SOURCES} ${CMAKE_SOURCE_DIR}/cmake/empty.cpp)
# OpenGL 3.3 entry points come straight from Mesa's/the vendor's libGL.
target_compile_definitions(marrowick_gui PUBLIC GL_GLEXT_PROTOTYPES=1)
target_link_libraries(marrowick_gui PUBLIC marrowick_core PkgConfig::SDL2 PkgConfig::IMGUI
                      PkgConfig::FREETYPE OpenGL::GL)

add_executable(marrowick ${CMAKE_SOURCE_DIR}/shell/main.cpp)
target_link_libraries(marrowick PRIVATE marrowick_gui)

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
