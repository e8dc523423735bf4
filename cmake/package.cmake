# The Debian package, made by CPack from what `cmake --install` installs
# (cmake/install.cmake) under /usr: scripts/package.sh runs it. The
# dependencies come from the libraries the program links (dpkg-shlibdeps).
# In the package the program is stripped, the manual page compressed, and the
# licences are in Debian's copyright file, beside the changelog.
set(RASTELLE_PACKAGE_MAINTAINER "The Rastelle developers <rastelle@users.noreply.github.com>"
    CACHE STRING "The Debian package's maintainer, name and address")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME rastelle)
set(CPACK_PACKAGE_VENDOR "The Rastelle developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "viewer for Windows bitmap (BMP) images")
set(CPACK_PACKAGE_DESCRIPTION [[
Rastelle shows one Windows bitmap file at a time, scaled to fit its window
with the aspect ratio kept; the title bar shows the zoom in per cent.

It opens every layout the format stores: uncompressed pictures of 1 to 32
bits per pixel, run-length compressed ones of 4 and 8 bits per pixel and
colour-mask ones of 16 and 32 bits per pixel.

Its user interface is Japanese. It has no settings and writes no files.]])
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${RASTELLE_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://github.com/rastelle/rastelle)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The prompt is drawn best with a Japanese font; without one the program
# falls back on the font it embeds.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS fonts-ipafont-gothic)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

# What only the package does to the installed tree: CPack's installation
# runs with RASTELLE_DEBIAN_PACKAGE set.
set(CPACK_CUSTOM_INSTALL_VARIABLES RASTELLE_DEBIAN_PACKAGE=ON)
install(CODE "set(RASTELLE_SOURCE_DIR \"${CMAKE_SOURCE_DIR}\")")
install(CODE [[
  if(RASTELLE_DEBIAN_PACKAGE)
    set(usr "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}")
    set(doc "${usr}/share/doc/rastelle")
    execute_process(COMMAND gzip -9nf "${usr}/share/man/man1/rastelle.1" COMMAND_ERROR_IS_FATAL ANY)
    # The licence texts and the font's notice are all in the copyright file.
    file(REMOVE "${doc}/LICENSE" "${doc}/LICENSE.fallback-font" "${doc}/README.fallback-font")
    file(COPY "${RASTELLE_SOURCE_DIR}/packaging/debian/copyright" DESTINATION "${doc}")
    file(COPY "${RASTELLE_SOURCE_DIR}/packaging/debian/changelog" DESTINATION "${doc}")
    file(RENAME "${doc}/changelog" "${doc}/changelog.Debian")
    execute_process(COMMAND gzip -9nf "${doc}/changelog.Debian" COMMAND_ERROR_IS_FATAL ANY)
  endif()
]])

include(CPack)
