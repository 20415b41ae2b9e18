# Installing the game (cmake --install, any prefix, DESTDIR) and packaging it
# for Debian (cpack -G DEB). The build tree is untouched by this: the program
# still runs from build/<preset>/bin with its WAV files beside it.
#
# Installed layout, relative to the prefix (the Debian package moves the
# launcher to /usr/games and compresses the manual page and documents; see
# DebianLayout.cmake):
#   bin/velmora                        launcher: enters the data folder, runs the program
#   libexec/velmora/velmora            the program itself
#   share/velmora/*.wav                the five sound cues (read from the working directory)
#   share/applications/<id>.desktop    menu entry
#   share/metainfo/<id>.metainfo.xml   AppStream description
#   share/icons/hicolor/NxN/apps/<id>.png
#   share/man/man6/velmora.6
#   share/doc/velmora/                 README.md, LICENSE, copyright
include(GNUInstallDirs)

# Lower-case, as AppStream asks; the desktop entry and the icons carry the
# same name.
set(VELMORA_APP_ID io.github.velmora.velmora)
set(VELMORA_ICON_SIZES 16 24 32 48 64 128 256)
set(VELMORA_DATA_DIR ${CMAKE_INSTALL_DATADIR}/velmora)
set(VELMORA_PROGRAM_DIR ${CMAKE_INSTALL_LIBEXECDIR}/velmora)

if(NOT TARGET velmora)
  return()
endif()

# The launcher finds its folders from its own place when the install folders
# are relative to the prefix (the usual case), so the tree can be moved.
function(_velmora_launch_path out dir)
  if(IS_ABSOLUTE "${dir}")
    set(${out} "${dir}" PARENT_SCOPE)
  elseif(IS_ABSOLUTE "${CMAKE_INSTALL_BINDIR}")
    set(${out} "${CMAKE_INSTALL_PREFIX}/${dir}" PARENT_SCOPE)
  else()
    file(RELATIVE_PATH rel "/prefix/${CMAKE_INSTALL_BINDIR}" "/prefix/${dir}")
    set(${out} "$here/${rel}" PARENT_SCOPE)
  endif()
endfunction()
_velmora_launch_path(VELMORA_LAUNCH_DATA ${VELMORA_DATA_DIR})
_velmora_launch_path(VELMORA_LAUNCH_PROGRAM ${VELMORA_PROGRAM_DIR}/velmora)

set(_gen ${PROJECT_BINARY_DIR}/packaging)
configure_file(${PROJECT_SOURCE_DIR}/packaging/velmora.sh.in ${_gen}/velmora @ONLY)
# The same launcher for the build tree (what ./play.sh starts): the program
# and its WAV files are in bin/ beside it.
set(VELMORA_LAUNCH_DATA "$here/bin")
set(VELMORA_LAUNCH_PROGRAM "$here/bin/velmora")
configure_file(${PROJECT_SOURCE_DIR}/packaging/velmora.sh.in ${PROJECT_BINARY_DIR}/velmora @ONLY
               FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
configure_file(${PROJECT_SOURCE_DIR}/packaging/velmora.desktop.in ${_gen}/${VELMORA_APP_ID}.desktop @ONLY)
configure_file(${PROJECT_SOURCE_DIR}/packaging/velmora.metainfo.xml.in ${_gen}/${VELMORA_APP_ID}.metainfo.xml @ONLY)
configure_file(${PROJECT_SOURCE_DIR}/packaging/velmora.6.in ${_gen}/velmora.6 @ONLY)

install(TARGETS velmora RUNTIME DESTINATION ${VELMORA_PROGRAM_DIR})
install(PROGRAMS ${_gen}/velmora DESTINATION ${CMAKE_INSTALL_BINDIR})
foreach(cue bgm get clear over start)
  install(FILES ${PROJECT_SOURCE_DIR}/assets/${cue}.wav DESTINATION ${VELMORA_DATA_DIR})
endforeach()
install(FILES ${_gen}/${VELMORA_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${_gen}/${VELMORA_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
foreach(size ${VELMORA_ICON_SIZES})
  install(FILES ${PROJECT_SOURCE_DIR}/assets/icon-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME ${VELMORA_APP_ID}.png)
endforeach()
install(FILES ${_gen}/velmora.6 DESTINATION ${CMAKE_INSTALL_MANDIR}/man6)
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/LICENSE ${PROJECT_SOURCE_DIR}/packaging/copyright
        DESTINATION ${CMAKE_INSTALL_DOCDIR})

# cpack -G DEB in the build folder: velmora_<version>_<arch>.deb installing
# under /usr. The libraries it needs are found by dpkg-shlibdeps from what
# the program links (SDL2, X11, the C++ runtime).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME velmora)
set(CPACK_PACKAGE_VENDOR "The Velmora developers")
set(CPACK_PACKAGE_CONTACT "The Velmora developers <velmora@example.org>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "arcade puzzle of a walker and its mirror image")
# One line per row of the control file's long description.
string(CONCAT CPACK_PACKAGE_DESCRIPTION
       "Steer the walker across a board of nine by six cells while the partner\n"
       "answers every step with the mirrored one. A gem is taken only when the\n"
       "two stand on its cell together; collect all five to clear the round, and\n"
       "keep away from the wandering stranger.")
set(CPACK_PACKAGE_HOMEPAGE_URL https://github.com/velmora/velmora)
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# A Debian revision of its own, so the package's changelog is
# changelog.Debian.gz as for any packaged upstream release.
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
configure_file(${PROJECT_SOURCE_DIR}/packaging/changelog.Debian.in ${_gen}/changelog.Debian @ONLY)
set(VELMORA_DEB_CHANGELOG ${_gen}/changelog.Debian)
configure_file(${PROJECT_SOURCE_DIR}/cmake/DebianLayout.cmake.in ${_gen}/DebianLayout.cmake @ONLY)
set(CPACK_PRE_BUILD_SCRIPTS ${_gen}/DebianLayout.cmake)
include(CPack)
