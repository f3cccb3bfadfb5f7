# Installation and the Debian package. The programs are installed under names of their own
# (tarvel-upgrade, tarvel-upgrade-cli, tarvel-sim): a bare "upgrade" in bin/ would clash with
# other commands. The build tree keeps the short names that the scripts and tests use.
include(GNUInstallDirs)

set(_pkg ${PROJECT_SOURCE_DIR}/packaging)

install(PROGRAMS $<TARGET_FILE:upgrade-cli> DESTINATION ${CMAKE_INSTALL_BINDIR} RENAME tarvel-upgrade-cli)
install(PROGRAMS $<TARGET_FILE:tarvel-sim> DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${_pkg}/man/tarvel-upgrade-cli.1 ${_pkg}/man/tarvel-sim.1
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${_pkg}/bash-completion/tarvel-upgrade-cli
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)

if(TARGET upgrade)
  install(PROGRAMS $<TARGET_FILE:upgrade> DESTINATION ${CMAKE_INSTALL_BINDIR} RENAME tarvel-upgrade)
  install(FILES ${_pkg}/man/tarvel-upgrade.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES ${_pkg}/tarvel-upgrade.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)

  # The icon is drawn from the wizard's side picture by tarvel-icon at build time.
  add_executable(tarvel-icon ${PROJECT_SOURCE_DIR}/app/ui/icon/main.cpp)
  target_link_libraries(tarvel-icon PRIVATE tarvel_gui)
  set(_icons)
  foreach(_size 48 128)
    set(_png ${CMAKE_CURRENT_BINARY_DIR}/icons/${_size}/tarvel-upgrade.png)
    add_custom_command(OUTPUT ${_png}
                       COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/icons/${_size}
                       # Under the sanitizers: the toolkit's own leftovers at exit are not ours.
                       COMMAND ${CMAKE_COMMAND} -E env ASAN_OPTIONS=detect_leaks=0
                               $<TARGET_FILE:tarvel-icon> ${_size} ${_png}
                       DEPENDS tarvel-icon
                       COMMENT "Drawing the ${_size} px icon")
    install(FILES ${_png} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${_size}x${_size}/apps)
    list(APPEND _icons ${_png})
  endforeach()
  add_custom_target(tarvel-icons ALL DEPENDS ${_icons})
endif()

# cpack -G DEB: a package that depends on Debian's own Qt 6 runtime (found by dpkg-shlibdeps
# from the programs' libraries). The windowed program also needs a platform plugin, which the
# Qt libraries only recommend, and the faces its windows are measured with (Liberation Sans for
# the dialogs, Liberation Serif for the titles: without them several texts overflow their boxes). No maintainer scripts: the menu and icon caches are refreshed by
# the triggers of the packages that own them.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tarvel-upgrade)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Tarvel upgrade utility maintainers <maintainers@tarvel.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "verify and upgrade the firmware of a Tarvel router module")
set(CPACK_PACKAGE_DESCRIPTION
    "Talks to the console of a Tarvel remote-access router module over a null-modem serial cable, checks whether an upgrade to a firmware version will succeed, and sends the boot and code files with ZModem. tarvel-upgrade is the windowed wizard, tarvel-upgrade-cli its command-line counterpart, and tarvel-sim a virtual module on a pseudo-terminal for trying them without hardware.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
if(TARGET upgrade)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, fonts-liberation")
endif()
include(CPack)
