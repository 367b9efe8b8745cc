# The Debian package, made by `cpack` in a release build configured for /usr: scripts/package.

# Debian's own documents for the package. A plain install leaves them out; the package asks for
# them by component.
set(debian_docs ${CMAKE_INSTALL_DATADIR}/doc/quillmont)
install(FILES dist/debian/copyright DESTINATION ${debian_docs} COMPONENT debian EXCLUDE_FROM_ALL)
add_custom_command(OUTPUT changelog.Debian.gz
    COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_CURRENT_SOURCE_DIR}/dist/debian/changelog changelog.Debian
    COMMAND gzip -9nf changelog.Debian
    DEPENDS dist/debian/changelog
    VERBATIM)
add_custom_target(quillmont_debian_changelog ALL DEPENDS changelog.Debian.gz)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/changelog.Debian.gz DESTINATION ${debian_docs}
    COMPONENT debian EXCLUDE_FROM_ALL)
install(FILES dist/debian/lintian-overrides DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides
    RENAME quillmont COMPONENT debian EXCLUDE_FROM_ALL)
set(CPACK_INSTALL_CMAKE_PROJECTS
    ${CMAKE_BINARY_DIR} ${PROJECT_NAME} Unspecified /
    ${CMAKE_BINARY_DIR} ${PROJECT_NAME} debian /)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quillmont)
set(CPACK_PACKAGE_CONTACT "Quillmont developers <quillmont@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "edit and start a Team Fortress Classic dedicated server")
set(CPACK_PACKAGE_DESCRIPTION [[
Quillmont keeps one set of settings for a Team Fortress Classic dedicated
server: server name, passwords, time limit, data rates, LAN and pause
switches, cheats, physics, team damage, class limits, team balancing and
respawn, the player limit and the start map.

It lets you edit them in a main window and a handful of small dialogs, writes
them out as the game's tfc/server.cfg, and starts the dedicated server with
your player limit and map.]])
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# Not "games": that section is for the games themselves, installed in /usr/games.
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded at run time, so no link names them: Qt's platform plugins, and the fonts whose widths
# the windows' layouts are made for.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, fonts-liberation2")
# The symbols a control character in a player's name is shown by.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-symbola")
set(CPACK_STRIP_FILES ON)
# Debian wants 0755 directories whatever the umask of whoever builds the package.
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
include(CPack)
