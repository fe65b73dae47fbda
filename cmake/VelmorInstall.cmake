# What `cmake --install` puts where: the programs, and beside the panel its
# desktop entry, icons and AppStream metainfo; the headless program's service
# template; manual pages; documentation.

include(GNUInstallDirs)

# The desktop knows the panel by one name, kept where the program reads it.
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/app/AppId.h)
file(STRINGS ${PROJECT_SOURCE_DIR}/app/AppId.h velmor_app_id_line REGEX "AppId\\[\\] = \"")
string(REGEX REPLACE ".*\"([^\"]+)\".*" "\\1" VELMOR_APP_ID "${velmor_app_id_line}")
if(NOT VELMOR_APP_ID MATCHES "^[a-z][a-z0-9]*(\\.[a-z][a-z0-9]*)+$")
    message(FATAL_ERROR "app/AppId.h: no reverse-DNS name found in \"${velmor_app_id_line}\"")
endif()

set(velmor_dist ${PROJECT_SOURCE_DIR}/dist)
set(velmor_made ${PROJECT_BINARY_DIR}/dist)
file(MAKE_DIRECTORY ${velmor_made})
set(velmor_made_files)

# Manual pages and the changelog go compressed, as Debian ships them; -n keeps the
# source's name and time out, so the same sources give the same files.
find_program(VELMOR_GZIP gzip REQUIRED)
function(velmor_compressed source name)
    set(copy ${velmor_made}/${name})
    add_custom_command(OUTPUT ${copy}.gz
        COMMAND ${CMAKE_COMMAND} -E copy ${source} ${copy}
        COMMAND ${VELMOR_GZIP} -9nf ${copy}
        DEPENDS ${source}
        VERBATIM)
    set(velmor_made_files ${velmor_made_files} ${copy}.gz PARENT_SCOPE)
endfunction()

if(TARGET velmor-monitor)
    install(TARGETS velmor-monitor RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    # Where the panel looks for its modules, relative to itself.
    install(TARGETS velmor_trend velmor_remote LIBRARY DESTINATION ${VELMOR_MODULE_INSTALL_DIR})
    velmor_compressed(${velmor_dist}/man/velmor-monitor.1 velmor-monitor.1)
    install(FILES ${velmor_made}/velmor-monitor.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

    foreach(file ${VELMOR_APP_ID}.desktop ${VELMOR_APP_ID}.metainfo.xml ${VELMOR_APP_ID}.svg)
        if(NOT EXISTS ${velmor_dist}/${file})
            message(FATAL_ERROR "dist/${file} is missing: the files in dist/ carry the name in app/AppId.h")
        endif()
    endforeach()
    install(FILES ${velmor_dist}/${VELMOR_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
    install(FILES ${velmor_dist}/${VELMOR_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
    install(FILES ${velmor_dist}/${VELMOR_APP_ID}.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

    # The bitmaps come from the very drawing the window shows.
    add_executable(velmor-render-icons ${PROJECT_SOURCE_DIR}/app/render_icons.cpp
        ${PROJECT_SOURCE_DIR}/app/Pictures.cpp)
    target_include_directories(velmor-render-icons PRIVATE ${PROJECT_SOURCE_DIR}/app)
    target_link_libraries(velmor-render-icons PRIVATE Qt6::Gui)
    foreach(side 48 128 256)
        set(png ${velmor_made}/icon-${side}.png)
        add_custom_command(OUTPUT ${png}
            COMMAND velmor-render-icons ${png} ${side}
            DEPENDS velmor-render-icons
            VERBATIM)
        list(APPEND velmor_made_files ${png})
        install(FILES ${png} RENAME ${VELMOR_APP_ID}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${side}x${side}/apps)
    endforeach()
endif()

# Debian 12 keeps the units of packages in /lib; a relative folder installs
# under the prefix, as a test of the install does.
set(VELMOR_SYSTEMD_UNIT_DIR lib/systemd/system
    CACHE STRING "Where the service template of velmor-headless goes")
if(TARGET velmor-headless)
    install(TARGETS velmor-headless RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    velmor_compressed(${velmor_dist}/man/velmor-headless.1 velmor-headless.1)
    install(FILES ${velmor_made}/velmor-headless.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
    install(FILES ${velmor_dist}/systemd/velmor-headless@.service
        DESTINATION ${VELMOR_SYSTEMD_UNIT_DIR})
endif()

if(TARGET velmor-supply-sim)
    install(TARGETS velmor-supply-sim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    velmor_compressed(${velmor_dist}/man/velmor-supply-sim.1 velmor-supply-sim.1)
    install(FILES ${velmor_made}/velmor-supply-sim.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()

velmor_compressed(${velmor_dist}/debian/changelog changelog)
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/SECURITY.md
    ${velmor_dist}/debian/copyright ${velmor_made}/changelog.gz
    DESTINATION ${CMAKE_INSTALL_DOCDIR})

add_custom_target(velmor-dist-files ALL DEPENDS ${velmor_made_files})
