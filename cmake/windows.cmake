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
target_link_libraries(rastelle PRIVATE rastelle_core rastelle_trace)
target_link_options(rastelle PRIVATE -static -municode)

if(RASTELLE_TESTS)
  enable_testing()
  add_subdirectory(tests/windows)
endif()

# The resource compiler reads the icon and the manifest that the script names;
# a change to either compiles the script again, in the program and its tests.
set(RESOURCE_DIRECTORIES ${CMAKE_SOURCE_DIR})
if(RASTELLE_TESTS)
  list(APPEND RESOURCE_DIRECTORIES ${CMAKE_SOURCE_DIR}/tests/windows)
endif()
set_source_files_properties(${CMAKE_SOURCE_DIR}/src/res/viewer.rc DIRECTORY ${RESOURCE_DIRECTORIES}
  PROPERTIES OBJECT_DEPENDS "${CMAKE_SOURCE_DIR}/src/res/viewer.ico;${CMAKE_SOURCE_DIR}/src/res/rastelle.exe.manifest")
