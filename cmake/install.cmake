# What `cmake --install` puts on a Linux desktop: the program, its desktop
# entry and AppStream metainfo under the application id, the icon in the
# hicolor theme, the manual page and the licence texts.
include(GNUInstallDirs)

set(RASTELLE_APP_ID io.github.rastelle.Rastelle)

install(TARGETS rastelle RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES share/applications/${RASTELLE_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES share/metainfo/${RASTELLE_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
foreach(size ${RASTELLE_ICON_SIZES})
  install(FILES ${RES_GEN}/rastelle-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME rastelle.png)
endforeach()
install(FILES ${RES_GEN}/rastelle.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES share/man/rastelle.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
# The program is under the MIT licence; it embeds a font subset under the
# Apache licence, whose text and notice go along.
install(FILES LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES src/res/fonts/LICENSE.Apache-2.0 DESTINATION ${CMAKE_INSTALL_DOCDIR} RENAME LICENSE.fallback-font)
install(FILES src/res/fonts/README DESTINATION ${CMAKE_INSTALL_DOCDIR} RENAME README.fallback-font)
