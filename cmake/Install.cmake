# Rotaview installed as a desktop program: the executable and its picture, the desktop entry, the
# program icon in the hicolor theme, AppStream metainfo, a manual page; and the Debian package
# CPack makes of them (cpack -G DEB in the build folder). tests/install/install_test.sh checks
# the installed tree and the package.
include(GNUInstallDirs)

# The desktop entry's, the icon's and the AppStream component's name (src/app/main.cpp too).
set(ROTAVIEW_APP_ID org.vantrel.Rotaview)
set(ROTAVIEW_DATADIR ${CMAKE_INSTALL_DATADIR}/rotaview)
set(ROTAVIEW_DOCDIR ${CMAKE_INSTALL_DATADIR}/doc/rotaview)
set(ROTAVIEW_MAINTAINER "Rotaview team <rotaview@vantrel.example>"
    CACHE STRING "The Debian package's maintainer")
# Installing and packaging take what is built: they never start a build of everything (tests and
# benchmarks included); build the rotaview and rotaview_install_files targets first.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
    GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# The package carries the version the About window shows.
file(READ ${PROJECT_SOURCE_DIR}/src/about/program_version.h version_header)
foreach(part Major Minor Revision)
  string(REGEX MATCH "kVersion${part} = ([0-9]+)" _ "${version_header}")
  list(APPEND shown_version ${CMAKE_MATCH_1})
endforeach()
list(JOIN shown_version "." shown_version)
if(NOT shown_version STREQUAL PROJECT_VERSION)
  message(FATAL_ERROR "project() says ${PROJECT_VERSION}, program_version.h ${shown_version}")
endif()

# Relocations read-only before the program runs, as Debian builds its programs.
target_link_options(rotaview PRIVATE LINKER:-z,relro,-z,now)

# The installed executable finds its picture in the data folder beside its own.
file(RELATIVE_PATH data_from_bin ${CMAKE_INSTALL_FULL_BINDIR}
     ${CMAKE_INSTALL_FULL_DATADIR}/rotaview)
target_compile_definitions(rv_ui PRIVATE ROTAVIEW_DATA_FROM_BIN="${data_from_bin}")

set(resources ${PROJECT_SOURCE_DIR}/resources)
set(generated ${PROJECT_BINARY_DIR}/install)
configure_file(${resources}/${ROTAVIEW_APP_ID}.metainfo.xml.in
               ${generated}/${ROTAVIEW_APP_ID}.metainfo.xml @ONLY)
configure_file(${resources}/rotaview.1.in ${generated}/rotaview.1 @ONLY)
configure_file(${resources}/package/changelog.in ${generated}/changelog @ONLY)

# The manual page and the changelog are installed compressed, as Debian keeps them.
find_program(GZIP_PROGRAM gzip REQUIRED)
add_custom_command(
  OUTPUT ${generated}/rotaview.1.gz ${generated}/changelog.gz
  COMMAND ${GZIP_PROGRAM} -9nkf rotaview.1 changelog
  DEPENDS ${generated}/rotaview.1 ${generated}/changelog
  WORKING_DIRECTORY ${generated} VERBATIM)
add_custom_target(rotaview_install_files ALL
  DEPENDS ${generated}/rotaview.1.gz ${generated}/changelog.gz)

install(TARGETS rotaview RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${resources}/msgbox03.ico DESTINATION ${ROTAVIEW_DATADIR})
install(FILES ${resources}/${ROTAVIEW_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(DIRECTORY ${resources}/icons/hicolor DESTINATION ${CMAKE_INSTALL_DATADIR}/icons)
install(FILES ${generated}/${ROTAVIEW_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${generated}/rotaview.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${resources}/package/copyright ${generated}/changelog.gz
        DESTINATION ${ROTAVIEW_DOCDIR})

# The Debian package: its run-time dependencies are the shared libraries the executable links
# (dpkg-shlibdeps); the Qt platform plugins come with libqt6gui6. xdg-utils opens calendars,
# mail and documents in the desktop's programs.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME rotaview)
set(CPACK_PACKAGE_VENDOR Vantrel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "month board of how booked each person of a team is")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "Rotaview shows, for a chosen group of people, how booked each of them is on\n"
    "each day of a month: one row per person, one column per day, each day coloured\n"
    "by how much of it the person's calendar has taken. It reads the calendars from\n"
    "a CalDAV server or from a calendar folder on a shared drive, keeps groups of\n"
    "people, and saves or prints the board.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${ROTAVIEW_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS xdg-utils)
include(CPack)
