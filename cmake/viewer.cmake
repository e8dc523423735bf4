# The viewer on Linux: its icon and resources, embedded as a table; the
# window part of the platform layer on X11 and Wayland; the application.
# cmake/install.cmake installs it for the desktop.

# The icon's generator and the resource embedder run on the build machine.
add_executable(rastelle_make_icon tools/make_icon.cpp)
add_executable(rastelle_embed_resources tools/embed_resources.cpp)

set(RES_GEN ${CMAKE_BINARY_DIR}/generated)
file(MAKE_DIRECTORY ${RES_GEN})
set(RASTELLE_ICON_SIZES 16 32 48 64 128 256)
set(ICON_FILES ${RES_GEN}/viewer.ico ${RES_GEN}/rastelle.svg)
foreach(size ${RASTELLE_ICON_SIZES})
  list(APPEND ICON_FILES ${RES_GEN}/rastelle-${size}.png)
endforeach()
add_custom_command(
  OUTPUT ${ICON_FILES}
  COMMAND rastelle_make_icon ${RES_GEN}
  DEPENDS rastelle_make_icon
  COMMENT "Drawing the icon")
add_custom_target(rastelle_icons ALL DEPENDS ${ICON_FILES})

# src/res/viewer.res is the resource script as the Windows resource compiler
# (windres) compiles it, committed, so that building on Linux needs no
# Windows tools. Where windres and its preprocessor are installed, the build
# compiles the script afresh with the icon just drawn, a test checks that the
# committed file is the same, byte for byte, and the target
# rastelle_update_resources writes both into src/res.
# windres runs the C preprocessor of its own target, mingw-w64's gcc.
find_program(WINDRES NAMES x86_64-w64-mingw32-windres)
find_program(WINDRES_PREPROCESSOR NAMES x86_64-w64-mingw32-gcc)
if(WINDRES AND WINDRES_PREPROCESSOR)
  # windres looks for viewer.ico in its working folder first, so it compiles
  # the icon the generator has just drawn.
  add_custom_command(
    OUTPUT ${RES_GEN}/viewer.res
    COMMAND ${WINDRES} -J rc -O res -I ${CMAKE_SOURCE_DIR}/src/res ${CMAKE_SOURCE_DIR}/src/res/viewer.rc viewer.res
    WORKING_DIRECTORY ${RES_GEN}
    DEPENDS src/res/viewer.rc src/res/resource.h src/res/rastelle.exe.manifest ${RES_GEN}/viewer.ico
    COMMENT "Compiling the resource script with windres")
  add_custom_target(rastelle_compiled_resources ALL DEPENDS ${RES_GEN}/viewer.res)
  add_custom_target(rastelle_update_resources
    COMMAND ${CMAKE_COMMAND} -E copy ${RES_GEN}/viewer.ico ${RES_GEN}/viewer.res ${CMAKE_SOURCE_DIR}/src/res/
    DEPENDS ${RES_GEN}/viewer.ico ${RES_GEN}/viewer.res
    COMMENT "Writing the drawn icon and the compiled resources into src/res")
endif()

add_subdirectory(src/platform/linux/user)

file(GLOB APP_SOURCES CONFIGURE_DEPENDS src/app/*.cpp)
add_library(rastelle_app STATIC ${APP_SOURCES})
target_link_libraries(rastelle_app PUBLIC rastelle_core rastelle_user)

# The program: its entry, and the display systems it chooses between.
add_executable(rastelle src/platform/linux/user/entry.cpp src/platform/linux/user/connect.cpp)
target_link_libraries(rastelle PRIVATE rastelle_app rastelle_trace rastelle_x11 rastelle_wayland)
