# Install rules for everything but the two programs (their own CMakeLists
# install those), and the Debian package built from them by `cpack -G DEB`.
# Nothing here joins the normal build except gzipping three small text files.

set(TSUMUGIYA_DOCDIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/tsumugiya)
set(pkg_res ${PROJECT_SOURCE_DIR}/res)
set(pkg_gz ${CMAKE_CURRENT_BINARY_DIR}/gz)

# Debian wants manual pages and changelogs gzipped at the highest level, with
# no name or time in the header (-n), so that rebuilds give the same bytes.
set(pkg_gzipped)
foreach(source man/tsumugiya-cli.1 man/tsumugiya.1 changelog)
    get_filename_component(name ${source} NAME)
    add_custom_command(OUTPUT ${pkg_gz}/${name}.gz
        COMMAND ${CMAKE_COMMAND} -E copy ${pkg_res}/${source} ${pkg_gz}/${name}
        COMMAND gzip -9 -n -f ${pkg_gz}/${name}
        DEPENDS ${pkg_res}/${source}
        VERBATIM)
    list(APPEND pkg_gzipped ${pkg_gz}/${name}.gz)
endforeach()
add_custom_target(tsumugiya_gzipped_docs ALL DEPENDS ${pkg_gzipped})

install(FILES ${pkg_gz}/tsumugiya-cli.1.gz
    DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${pkg_res}/copyright ${pkg_gz}/changelog.gz
    DESTINATION ${TSUMUGIYA_DOCDIR})
# Automatic backups as a user service, not enabled: the README shows how.
if(NOT WIN32)
    install(FILES ${pkg_res}/systemd/tsumugiya-watch.service
        DESTINATION lib/systemd/user)
endif()

if(TSUMUGIYA_BUILD_UI)
    install(FILES ${pkg_gz}/tsumugiya.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
    install(FILES ${pkg_res}/io.github.tsumugiya.desktop
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/applications)
    install(FILES ${pkg_res}/io.github.tsumugiya.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/metainfo)
    install(FILES ${pkg_res}/icons/tsumugiya.svg
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor/scalable/apps)
    foreach(size 16 32 48 256)
        install(FILES ${pkg_res}/icons/tsumugiya-${size}.png
            DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor/${size}x${size}/apps
            RENAME tsumugiya.png)
    endforeach()
endif()

# The programs know their bin folder from the build; a copy installed under
# another prefix would take itself for a portable one.
install(CODE "
    if(NOT CMAKE_INSTALL_PREFIX STREQUAL \"${CMAKE_INSTALL_PREFIX}\")
        message(WARNING \"This build was configured for ${CMAKE_INSTALL_PREFIX}; installed in \${CMAKE_INSTALL_PREFIX} the programs do not know themselves as installed and, where they can write, keep their settings and backups beside themselves instead of in the XDG folders. Configure with -DCMAKE_INSTALL_PREFIX=\${CMAKE_INSTALL_PREFIX} to install there.\")
    endif()
")

# ---- The Debian package ------------------------------------------------------
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tsumugiya)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Tsumugiya developers")
# The address this repository's commits are made under, until the project has
# a public one; the Debian changelog in res/ names it too.
set(CPACK_PACKAGE_CONTACT "Tsumugiya developers <maintainers@users.noreply.c-seed-2e4a8c37.example>")
# CPack puts the summary before the description as its first line.
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "keeps backups of one game save file and puts them back")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Tsumugiya copies a game save file with one click before a hard fight and
puts any copy back with another. Each backup is named after the save
file's modification time and a memo. Restoring keeps the save as it was,
so no state is ever lost, and every file is written whole or not at all.
.
The package holds the window tsumugiya (Qt 6) and the command tsumugiya-cli
for scripts and desktop hotkeys. An installed copy keeps its settings and
backups in the XDG folders of each user.")
# Where the binaries were built to live, so that they know themselves there.
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The window names the IPA faces; dpkg-shlibdeps cannot see fonts, nor
# libnotify and libcanberra, which tsumugiya-cli opens only for --notify and
# --sound.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-ipafont-gothic, fonts-ipafont-mincho, libnotify4, libcanberra0")
# Qt's own buttons and dialogs in Japanese (qtbase_ja), and the sounds the
# cues are named after; without them the buttons fall back to English, the
# cues are silent, and the program still works.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n, sound-theme-freedesktop")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
include(CPack)
