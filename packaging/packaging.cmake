# Installation under the usual Debian paths and a .deb made by CPack:
#   cmake --build build --target deb     (or ./run.sh --package)
# writes build/package/deckmend_<version>_<arch>.deb. The programs take their
# files from ../share/deckmend/ when no Lang folder is beside them.
include(GNUInstallDirs)

set(DECKMEND_DATA_DIR ${CMAKE_INSTALL_DATADIR}/deckmend)

install(TARGETS deckmend deckmend-repair RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(DIRECTORY ${CMAKE_SOURCE_DIR}/resources/Lang ${CMAKE_SOURCE_DIR}/resources/Tips
                  ${CMAKE_SOURCE_DIR}/resources/help
        DESTINATION ${DECKMEND_DATA_DIR})
install(FILES ${CMAKE_SOURCE_DIR}/resources/Settings.INI ${CMAKE_SOURCE_DIR}/resources/Tips.Txt
        DESTINATION ${DECKMEND_DATA_DIR})
install(DIRECTORY ${CMAKE_SOURCE_DIR}/resources/pictures/ DESTINATION ${DECKMEND_DATA_DIR}/pictures
        FILES_MATCHING PATTERN "*.png" PATTERN "*.gif" PATTERN "generator" EXCLUDE)

# The desktop entry of the installed program names it by its command and icon name.
set(DESKTOP_EXEC deckmend)
set(DESKTOP_ICON deckmend)
configure_file(${CMAKE_SOURCE_DIR}/resources/deckmend.desktop ${CMAKE_BINARY_DIR}/packaging/deckmend.desktop @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/packaging/deckmend.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_SOURCE_DIR}/resources/pictures/102.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/256x256/apps RENAME deckmend.png)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME deckmend)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Deckmend developers <deckmend@deckmend.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Repairs damaged PowerPoint presentations (.ppt, .pps, .pptx)")
set(CPACK_PACKAGE_DESCRIPTION
    "Deckmend reads a damaged presentation as raw bytes and rebuilds a repaired copy; the damaged file is only read. It offers a wizard (deckmend) and a command line (deckmend-repair).")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/package)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://deckmend.example/)
# The UNO libraries live in LibreOffice's private folder, where dpkg-shlibdeps
# finds no package information: the dependencies are named here.
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libc6, libstdc++6, libgcc-s1, libgsf-1-114, zlib1g, libqt6core6, libqt6gui6, libqt6widgets6, qt6-qpa-plugins, libuno-sal3, libuno-cppu3, libuno-cppuhelpergcc3-3, libuno-salhelpergcc3-3, libreoffice-impress-nogui | libreoffice-impress")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")
include(CPack)

add_custom_target(deb
  COMMAND cpack -G DEB --config ${CMAKE_BINARY_DIR}/CPackConfig.cmake
  DEPENDS deckmend deckmend-repair
  WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
  COMMENT "Building the Debian package into ${CPACK_PACKAGE_DIRECTORY}"
  VERBATIM)

# CI: the package extracted into a temporary root repairs a corpus file.
set(DECKMEND_SHARED_DIR ${CMAKE_SOURCE_DIR}/../shared)
if(EXISTS ${DECKMEND_SHARED_DIR}/corpus/pptx AND EXISTS ${DECKMEND_SHARED_DIR}/tools/damage.py)
  enable_testing()
  add_test(NAME PackageInstallsAndRepairs
    COMMAND ${CMAKE_SOURCE_DIR}/packaging/check_deb.sh ${CMAKE_BINARY_DIR}
            ${DECKMEND_SHARED_DIR}/corpus ${DECKMEND_SHARED_DIR}/tools/damage.py)
  set_tests_properties(PackageInstallsAndRepairs PROPERTIES TIMEOUT 600 RUN_SERIAL TRUE LABELS real-office)
endif()
