# What the Debian package holds besides the programs and the page templates (their rules live
# beside their targets): desktop entry, icons, AppStream data, manual pages, bash completion,
# copyright and changelog; and CPack's DEB generator, which scripts/package runs. Without the
# window build there is no desktop entry, AppStream data, icon or manual page for the window.
include(GNUInstallDirs)

set(TALLYBOX_MAINTAINER "Orvane Tallybox team <tallybox@orvane.example>")
set(TALLYBOX_ICON_SIZES 16 32 48 64 128 256)

set(src ${CMAKE_CURRENT_LIST_DIR})
set(out ${PROJECT_BINARY_DIR}/packaging)
set(doc ${CMAKE_INSTALL_DATADIR}/doc/tallybox-utility)
set(icons ${CMAKE_INSTALL_DATADIR}/icons/hicolor)
set(icon_svg ${PROJECT_SOURCE_DIR}/app/icons/tallybox-utility.svg)

# Dated by SOURCE_DATE_EPOCH when set, so a rebuilt package is the same package.
string(TIMESTAMP TALLYBOX_RELEASE_DATE "%Y-%m-%d" UTC)
string(TIMESTAMP TALLYBOX_CHANGELOG_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
configure_file(${src}/changelog.in ${out}/changelog @ONLY)
set(manuals ${src}/tallybox-cli.1 ${src}/tallybox-sim.1)
if(TALLYBOX_GUI)
  configure_file(${src}/com.orvane.TallyboxUtility.metainfo.xml.in
                 ${out}/com.orvane.TallyboxUtility.metainfo.xml @ONLY)
  list(APPEND manuals ${src}/tallybox-utility.1)
endif()

# Debian wants manual pages and the changelog gzipped, without a name or time in the header.
find_program(TALLYBOX_GZIP gzip REQUIRED)
set(generated)
foreach(file IN ITEMS ${manuals} ${out}/changelog)
  get_filename_component(name ${file} NAME)
  add_custom_command(OUTPUT ${out}/${name}.gz
    COMMAND ${TALLYBOX_GZIP} -9nc ${file} > ${out}/${name}.gz
    DEPENDS ${file}
    COMMENT "Compressing ${name}"
    VERBATIM)
  list(APPEND generated ${out}/${name}.gz)
endforeach()

find_program(TALLYBOX_RSVG_CONVERT rsvg-convert)
if(NOT TALLYBOX_GUI)
  # No window, so no icons for it.
elseif(TALLYBOX_RSVG_CONVERT)
  foreach(size IN LISTS TALLYBOX_ICON_SIZES)
    set(png ${out}/icons/${size}/tallybox-utility.png)
    add_custom_command(OUTPUT ${png}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${out}/icons/${size}
      COMMAND ${TALLYBOX_RSVG_CONVERT} -w ${size} -h ${size} -o ${png} ${icon_svg}
      DEPENDS ${icon_svg}
      COMMENT "Rendering the ${size}x${size} icon"
      VERBATIM)
    list(APPEND generated ${png})
    install(FILES ${png} DESTINATION ${icons}/${size}x${size}/apps)
  endforeach()
else()
  message(WARNING "rsvg-convert not found (scripts/deps installs it): the package gets no PNG icons")
endif()
add_custom_target(tallybox_packaging ALL DEPENDS ${generated})

if(TALLYBOX_GUI)
  install(FILES ${src}/tallybox-utility.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${out}/com.orvane.TallyboxUtility.metainfo.xml
          DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
  install(FILES ${icon_svg} DESTINATION ${icons}/scalable/apps)
  install(FILES ${out}/tallybox-utility.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()
install(FILES ${out}/tallybox-sim.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${src}/copyright ${out}/changelog.gz DESTINATION ${doc})
if(TARGET tallybox-cli)
  install(TARGETS tallybox-cli)
  install(FILES ${out}/tallybox-cli.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES ${src}/tallybox-cli.bash-completion
          DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME tallybox-cli)
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tallybox-utility)
set(CPACK_PACKAGE_VENDOR Orvane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${TALLYBOX_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "read, program and diagnose a Tallybox")
set(CPACK_PACKAGE_DESCRIPTION
    "Tallybox Utility connects to a Tallybox over direct TCP/IP, its serial
debug port or a modem dial-up line, reads its status and configuration
registers, programs the registers, keeps register presets and collects
diagnostics. tallybox-cli does the same from scripts; tallybox-sim plays a
Tallybox for demonstrations and tests.
.
Dial-up needs a dial-up service library (librasapi32.so) installed beside
the program or on the library path. This package does not include one;
without it every dial-up ends with \"Could not locate connection\".")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION comm)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The tool-bar icons are SVG, drawn by a Qt plug-in that the library scan cannot see.
set(CPACK_DEBIAN_PACKAGE_DEPENDS libqt6svg6)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/package)
include(CPack)
