# What `cmake --install` puts where (GNU layout): the programs, the desktop
# entry, the AppStream metainfo, the icons, the man pages and the licence notice.
include(GNUInstallDirs)

set(QARVEL_HOMEPAGE "https://qarvel.org" CACHE STRING
    "The project's web site, named in the metainfo (its screenshots live under /screenshots)")
set(QARVEL_MAINTAINER "The Qarvel developers <maintainers@qarvel.org>" CACHE STRING
    "The package's maintainer, as Debian writes it")

set(QARVEL_APP_ID org.qarvel.Qarvel)
set(QARVEL_DOCDIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/qarvel)
set(data ${CMAKE_SOURCE_DIR}/data)
set(generated ${CMAKE_BINARY_DIR}/data)

# The installed programs resolve their symbols at start-up, so that the whole
# relocation table can be read-only, and check buffer sizes where they can.
foreach(program qarvel qarvel-check qarvel-results)
    if(TARGET ${program})
        target_link_options(${program} PRIVATE -Wl,-z,relro -Wl,-z,now)
        target_compile_definitions(${program} PRIVATE $<$<NOT:$<CONFIG:Debug>>:_FORTIFY_SOURCE=2>)
    endif()
endforeach()

foreach(tool qarvel-check qarvel-results)
    if(TARGET ${tool})
        install(TARGETS ${tool} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    endif()
endforeach()
if(NOT TARGET qarvel)
    return()
endif()
install(TARGETS qarvel RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

install(FILES ${data}/${QARVEL_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
configure_file(${data}/${QARVEL_APP_ID}.metainfo.xml.in ${generated}/${QARVEL_APP_ID}.metainfo.xml
               @ONLY)
install(FILES ${generated}/${QARVEL_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

set(icons ${CMAKE_INSTALL_DATADIR}/icons/hicolor)
install(FILES ${data}/icons/${QARVEL_APP_ID}.svg DESTINATION ${icons}/scalable/apps)
foreach(size 16 22 24 32 48 64 128 256)
    install(FILES ${data}/icons/${QARVEL_APP_ID}-${size}.png
            DESTINATION ${icons}/${size}x${size}/apps RENAME ${QARVEL_APP_ID}.png)
endforeach()

# Man pages and the changelog go compressed, as Debian has them.
configure_file(${data}/changelog.in ${generated}/changelog @ONLY)
configure_file(${data}/copyright ${generated}/copyright @ONLY)
set(compressed)
foreach(file man/qarvel.1 man/qarvel-check.1 man/qarvel-results.1 changelog)
    if(file STREQUAL changelog)
        set(input ${generated}/changelog)
    else()
        set(input ${data}/${file})
    endif()
    get_filename_component(name ${file} NAME)
    add_custom_command(OUTPUT ${generated}/${name}.gz
                       COMMAND gzip -9n -c ${input} > ${generated}/${name}.gz
                       DEPENDS ${input} VERBATIM)
    list(APPEND compressed ${generated}/${name}.gz)
endforeach()
add_custom_target(qarvel_install_data ALL DEPENDS ${compressed})
install(FILES ${generated}/qarvel.1.gz ${generated}/qarvel-check.1.gz
              ${generated}/qarvel-results.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${generated}/copyright ${generated}/changelog.gz DESTINATION ${QARVEL_DOCDIR})
# What a lab admin needs on the machine itself: the README (rolling out to a
# lab, settings, results) and an example of the machine-wide settings.
install(FILES ${CMAKE_SOURCE_DIR}/README.md ${data}/qarvel.conf DESTINATION ${QARVEL_DOCDIR})
