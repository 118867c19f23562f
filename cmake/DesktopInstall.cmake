# Desktop integration in its XDG places, and the Debian package.
set(res ${CMAKE_SOURCE_DIR}/resources)
install(FILES ${res}/trovix.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${res}/trovix.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo
  RENAME app.trovix.Trovix.metainfo.xml)
install(DIRECTORY ${res}/icons/hicolor DESTINATION ${CMAKE_INSTALL_DATADIR}/icons)
install(FILES ${res}/man/trovix-cli.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${res}/tools/trovix-tag.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/kio/servicemenus)
install(FILES ${res}/tools/trovix-tag.nemo_action DESTINATION ${CMAKE_INSTALL_DATADIR}/nemo/actions)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME trovix)
set(CPACK_PACKAGE_VENDOR "The Trovix developers")
set(CPACK_PACKAGE_CONTACT "The Trovix developers <hello@trovix.app>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Album tagger that completes music tags from the web")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://trovix.app")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# Debug information stays in the build tree; it would make the package ten
# times larger and slow to compress.
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
# The Debian 12 runtime packages of what the programs and the extension link.
set(CPACK_DEBIAN_PACKAGE_DEPENDS
  "libc6, libstdc++6, libqt6core6 (>= 6.4), libqt6gui6 (>= 6.4), libqt6widgets6 (>= 6.4), libqt6dbus6 (>= 6.4), libqt6network6 (>= 6.4), libqt6sql6 (>= 6.4), libqt6sql6-sqlite (>= 6.4), qt6-qpa-plugins, libtag1v5, libcurl4, libssl3, libglib2.0-0, libmimalloc2.0")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "nautilus | dolphin | nemo")
include(CPack)

# The installed tree and the package hold the same files, each in its place.
if(BUILD_TESTING)
  set(expected_extension none)
  if(TARGET trovix-nautilus)
    set(expected_extension "${TROVIX_NAUTILUS_EXTENSION_DIR}/libtrovix-nautilus.so")
  endif()
  add_test(NAME InstallAndPackage
    COMMAND ${CMAKE_SOURCE_DIR}/scripts/check-install.sh ${CMAKE_BINARY_DIR}
      $<TARGET_EXISTS:trovix> ${expected_extension})
  set_tests_properties(InstallAndPackage PROPERTIES RUN_SERIAL TRUE TIMEOUT 300)
  add_test(NAME DesktopFilesValidate
    COMMAND ${CMAKE_SOURCE_DIR}/scripts/validate-desktop-files.sh ${CMAKE_SOURCE_DIR}/resources)
endif()
