# The viewer on Windows: the application sources and the resource script that
# the Linux build uses too, built against the real API into a GUI program,
# linked statically so it needs no DLLs beyond the system's. Its entry
# (src/platform/windows/entry.cpp) keeps the wide command line and calls
# WinMain. Cross-compiled from Debian with the windows preset, or built
# natively with MSYS2's mingw-w64 tools.
enable_language(RC)

file(GLOB APP_SOURCES CONFIGURE_DEPENDS src/app/*.cpp)
# Entered at wWinMain (-municode), which keeps the wide command line.
add_executable(rastelle WIN32 ${APP_SOURCES} src/platform/windows/entry.cpp src/res/viewer.rc)
target_link_libraries(rastelle PRIVATE rastelle_core)
target_link_options(rastelle PRIVATE -static -municode)

if(RASTELLE_TESTS)
  enable_testing()
  add_subdirectory(tests/windows)
endif()
