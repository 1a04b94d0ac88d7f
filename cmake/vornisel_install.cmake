# What `cmake --install` puts under the prefix, and the Debian package made of it (scripts/package).
#
#   lib/vornisel-control/VorniselControl.app/   the relocatable bundle, as built
#   bin/vornisel-control                        the launcher: a relative link to the bundle's
#                                               program, which finds its bundle from its own path
#   share/applications/<id>.desktop             the applications menu entry
#   share/icons/hicolor/<size>/apps/<id>.png    the icon in the theme's sizes, and scalable/<id>.svg
#   share/metainfo/<id>.metainfo.xml            the software centres' description
#   bin/vornisel-server                         the audio server engines stream through
#   lib/systemd/user/vornisel-server.service    its user unit, enabled by nobody but the user
#   share/doc/vornisel-control/protocol.md      the streaming protocol
#   share/man/man1/vornisel-{control,server}.1.gz  the manual pages, made by help2man from --help
#   share/doc/vornisel-control/                 copyright and changelog.gz
#
# Only the panel, the engine host, the PCM probe helper and the server are installed; test
# programs, benchmarks and fuzzers have no install rules.
set(bundle_dest "lib/vornisel-control/VorniselControl.app")

install(TARGETS vornisel-control vornisel_macos_engine_host vornisel_pcm_probe
        RUNTIME DESTINATION "${bundle_dest}/Contents/MacOS")
file(GLOB language_files CONFIGURE_DEPENDS "${CMAKE_SOURCE_DIR}/resources/lang/*.ini")
install(FILES ${language_files} DESTINATION "${bundle_dest}/Contents/Resources/lang")
file(GLOB alsa_files CONFIGURE_DEPENDS "${CMAKE_SOURCE_DIR}/resources/alsa/*.asoundrc")
install(FILES ${alsa_files} DESTINATION "${bundle_dest}/Contents/Resources/alsa")
install(FILES "${VORNISEL_BUNDLE_RES}/vornisel.png" DESTINATION "${bundle_dest}/Contents/Resources")

# A link made in the build tree (dangling there) is installed as a link.
set(launcher_link "${CMAKE_BINARY_DIR}/install/vornisel-control")
file(MAKE_DIRECTORY "${CMAKE_BINARY_DIR}/install")
file(CREATE_LINK "../${bundle_dest}/Contents/MacOS/vornisel-control" "${launcher_link}" SYMBOLIC)
install(FILES "${launcher_link}" DESTINATION bin)

# The menu entry names the launcher by its installed path, known only when installing (CPack
# installs under its own prefix).
set(entry_in "${CMAKE_SOURCE_DIR}/resources/desktop/${VORNISEL_APP_ID}.desktop.in")
set(entry_out "${CMAKE_BINARY_DIR}/install/${VORNISEL_APP_ID}.desktop")
install(CODE "set(ENTRY_IN \"${entry_in}\")
              set(ENTRY_OUT \"${entry_out}\")
              include(\"${CMAKE_SOURCE_DIR}/cmake/write_desktop_entry.cmake\")")
install(FILES "${entry_out}" DESTINATION share/applications)

foreach(size ${VORNISEL_ICON_SIZES})
    install(FILES "${VORNISEL_ICON_DIR}/${size}x${size}/apps/${VORNISEL_APP_ID}.png"
            DESTINATION "share/icons/hicolor/${size}x${size}/apps")
endforeach()
install(FILES "${VORNISEL_ICON_SOURCE}" DESTINATION share/icons/hicolor/scalable/apps
        RENAME "${VORNISEL_APP_ID}.svg")

# Who makes the package and where the product lives: the package's maintainer, the copyright's
# contact and source, and the metainfo's homepage.
set(VORNISEL_MAINTAINER "Quelt <support@quelt.com>" CACHE STRING
    "The package's maintainer, as: Name <address>")
set(VORNISEL_HOMEPAGE "https://quelt.com/vornisel/" CACHE STRING "The product's homepage")
configure_file("${CMAKE_SOURCE_DIR}/resources/desktop/${VORNISEL_APP_ID}.metainfo.xml.in"
               "${CMAKE_BINARY_DIR}/install/${VORNISEL_APP_ID}.metainfo.xml" @ONLY)
install(FILES "${CMAKE_BINARY_DIR}/install/${VORNISEL_APP_ID}.metainfo.xml"
        DESTINATION share/metainfo)

# The server: a user unit that no package script enables, so it stays off until a user turns it on.
install(TARGETS vornisel-server RUNTIME DESTINATION bin)
set(unit_out "${CMAKE_BINARY_DIR}/install/vornisel-server.service")
install(CODE "set(UNIT_IN \"${CMAKE_SOURCE_DIR}/server/vornisel-server.service.in\")
              set(UNIT_OUT \"${unit_out}\")
              include(\"${CMAKE_SOURCE_DIR}/cmake/write_server_unit.cmake\")")
install(FILES "${unit_out}" DESTINATION lib/systemd/user)
install(FILES "${CMAKE_SOURCE_DIR}/docs/protocol.md" DESTINATION share/doc/vornisel-control)

# The manual page is the usage that --help prints, so the two cannot differ; the copyright and
# changelog are written with the maintainer and version above. All compressed reproducibly.
find_program(VORNISEL_HELP2MAN help2man REQUIRED)
find_program(VORNISEL_GZIP gzip REQUIRED)
set(doc_dir "${CMAKE_BINARY_DIR}/doc")
configure_file("${CMAKE_SOURCE_DIR}/resources/debian/copyright" "${doc_dir}/copyright" @ONLY)
configure_file("${CMAKE_SOURCE_DIR}/resources/debian/changelog" "${doc_dir}/changelog" @ONLY)
add_custom_command(OUTPUT "${doc_dir}/changelog.gz"
                   COMMAND "${VORNISEL_GZIP}" -9nc changelog > changelog.gz
                   DEPENDS "${doc_dir}/changelog" WORKING_DIRECTORY "${doc_dir}")
add_custom_command(OUTPUT "${doc_dir}/vornisel-control.1.gz"
                   COMMAND "${VORNISEL_HELP2MAN}" --no-info --section 1
                           --name "control panel for Vornisel networked audio"
                           --output vornisel-control.1 "$<TARGET_FILE:vornisel-control>"
                   COMMAND "${VORNISEL_GZIP}" -9nc vornisel-control.1 > vornisel-control.1.gz
                   DEPENDS vornisel-control WORKING_DIRECTORY "${doc_dir}")
add_custom_command(OUTPUT "${doc_dir}/vornisel-server.1.gz"
                   COMMAND "${VORNISEL_HELP2MAN}" --no-info --section 1
                           --version-string "${PROJECT_VERSION}"
                           --name "audio server that Vornisel engines stream through"
                           --output vornisel-server.1 "$<TARGET_FILE:vornisel-server>"
                   COMMAND "${VORNISEL_GZIP}" -9nc vornisel-server.1 > vornisel-server.1.gz
                   DEPENDS vornisel-server WORKING_DIRECTORY "${doc_dir}")
add_custom_target(vornisel_docs ALL DEPENDS "${doc_dir}/changelog.gz" "${doc_dir}/vornisel-control.1.gz"
                                            "${doc_dir}/vornisel-server.1.gz")
install(FILES "${doc_dir}/vornisel-control.1.gz" "${doc_dir}/vornisel-server.1.gz"
        DESTINATION share/man/man1)
install(FILES "${doc_dir}/copyright" "${doc_dir}/changelog.gz" DESTINATION share/doc/vornisel-control)

# The Debian package. Its dependencies are read from the installed programs' shared libraries
# (dpkg-shlibdeps); zip makes the support bundles' archives.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vornisel-control)
set(CPACK_PACKAGE_VENDOR Quelt)
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Control panel for Vornisel networked audio")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${VORNISEL_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${VORNISEL_HOMEPAGE}")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS zip)
# The summary above is the first line; this is the text below it, in lines that lintian's limit
# of 80 characters leaves room for once indented.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Keeps up to eight virtual audio devices, each routed to an ALSA sound card,\n"
    "runs one engine for every started device and shows its state, levels and\n"
    "latency.")
string(JOIN "" CPACK_DEBIAN_PACKAGE_DESCRIPTION ${CPACK_DEBIAN_PACKAGE_DESCRIPTION})
set(CPACK_PACKAGE_DIRECTORY "${CMAKE_BINARY_DIR}/package")
include(CPack)
