# The viewer on Windows: the application sources and the resource script that
# the Linux build uses too, built against the real API into a GUI program
# entered at WinMain, linked statically so it needs no DLLs beyond the
# system's. Cross-compiled from Debian with the windows preset, or built
# natively with MSYS2's mingw-w64 tools.
enable_language(RC)

file(GLOB APP_SOURCES CONFIGURE_DEPENDS src/app/*.cpp)
add_executable(rastelle WIN32 ${APP_SOURCES} src/res/viewer.rc)
target_link_libraries(rastelle PRIVATE rastelle_core)
target_link_options(rastelle PRIVATE -static)

if(RASTELLE_TESTS)
  enable_testing()
  add_subdirectory(tests/windows)
endif()
