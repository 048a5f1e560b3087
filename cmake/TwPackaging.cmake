# Installation and Debian packages of the system. Included last by the top CMakeLists.txt, when
# every target exists.

# --version prints the release from src/platform/version.h; the packages are named by the
# project version. One number for both.
file(STRINGS ${PROJECT_SOURCE_DIR}/src/platform/version.h tw_version_line
     REGEX "kReleaseVersion = \"[0-9.]+\"")
string(REGEX MATCH "[0-9]+(\\.[0-9]+)+" tw_release_version "${tw_version_line}")
if(NOT tw_release_version STREQUAL PROJECT_VERSION)
  message(FATAL_ERROR "src/platform/version.h says ${tw_release_version}, the project "
                      "${PROJECT_VERSION}: change both")
endif()

# ---- What is installed where ----
# Three packages: tidewell (the poller, Ravelin, the viewers and editors when built, the timer
# units), libqorcom (the COM-compatible runtime, the automation services and their tools; it
# registers its servers in the machine's registry) and tidewell-tools (the POS simulator and
# the back-office stand-in).
include(GNUInstallDirs)
set(TW_PROGRAM_DIRECTORY /var/lib/tidewell CACHE PATH
    "The packaged installation's program directory (site files), made by the package")
# The packages install under /usr whatever CMAKE_INSTALL_PREFIX a plain `cmake --install` uses.
set(TW_PACKAGE_PREFIX /usr)
set(TW_PACKAGE_BINDIR ${TW_PACKAGE_PREFIX}/${CMAKE_INSTALL_BINDIR})
set(TW_PACKAGE_LIBDIR ${TW_PACKAGE_PREFIX}/${CMAKE_INSTALL_LIBDIR})

# Programs and libraries go in when they are part of this build (a subset build, or one
# without Qt, has fewer).
function(tw_install_programs component)
  foreach(target ${ARGN})
    if(TARGET ${target})
      install(TARGETS ${target} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
              COMPONENT ${component})
    endif()
  endforeach()
endfunction()

tw_install_programs(tidewell tidewell ravelin tidewell-view tidewell-edit)
tw_install_programs(libqorcom qorregsvr qorauto)
tw_install_programs(tidewell-tools possim qorpost-import)

# The runtime keeps its soname link only (nothing here builds against it from outside).
if(TARGET comlite)
  install(TARGETS comlite LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT libqorcom
          NAMELINK_SKIP)
endif()
# Every shared object or module built under src/qorcom (the library, and its providers and
# components as they land) goes in beside libqorcom.so, where the library looks for them.
function(tw_install_libraries_under directory component)
  get_property(targets DIRECTORY ${directory} PROPERTY BUILDSYSTEM_TARGETS)
  foreach(target ${targets})
    get_target_property(type ${target} TYPE)
    if(type STREQUAL "SHARED_LIBRARY" OR type STREQUAL "MODULE_LIBRARY")
      install(TARGETS ${target} LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
              COMPONENT ${component} NAMELINK_SKIP)
    endif()
  endforeach()
  get_property(subdirectories DIRECTORY ${directory} PROPERTY SUBDIRECTORIES)
  foreach(subdirectory ${subdirectories})
    tw_install_libraries_under(${subdirectory} ${component})
  endforeach()
endfunction()
if(TARGET qorcom)
  tw_install_libraries_under(${PROJECT_SOURCE_DIR}/src/qorcom libqorcom)
endif()
if(TARGET qorpost_standin)
  install(TARGETS qorpost_standin LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
          COMPONENT tidewell-tools)
endif()

# Manual pages, compressed as Debian installs them.
find_program(TW_GZIP gzip REQUIRED)
set(tw_man_tidewell tidewell ravelin tidewell-view tidewell-edit)
set(tw_man_libqorcom qorregsvr qorauto)
set(tw_man_tidewell-tools possim)
set(tw_man_pages)
foreach(component tidewell libqorcom tidewell-tools)
  foreach(page ${tw_man_${component}})
    set(source ${PROJECT_SOURCE_DIR}/man/${page}.1)
    set(compressed ${PROJECT_BINARY_DIR}/man/${page}.1.gz)
    add_custom_command(OUTPUT ${compressed}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/man
      COMMAND ${TW_GZIP} -9nc ${source} > ${compressed}
      DEPENDS ${source} VERBATIM)
    list(APPEND tw_man_pages ${compressed})
    install(FILES ${compressed} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT ${component})
  endforeach()
endforeach()
add_custom_target(tw_man_pages ALL DEPENDS ${tw_man_pages})

# The timer units: tidewell-poll@SITE.timer starts tidewell-poll@SITE.service.
configure_file(${PROJECT_SOURCE_DIR}/systemd/tidewell-poll@.service.in
               ${PROJECT_BINARY_DIR}/systemd/tidewell-poll@.service @ONLY)
configure_file(${PROJECT_SOURCE_DIR}/systemd/tidewell-poll@.timer
               ${PROJECT_BINARY_DIR}/systemd/tidewell-poll@.timer COPYONLY)
install(FILES ${PROJECT_BINARY_DIR}/systemd/tidewell-poll@.service
              ${PROJECT_BINARY_DIR}/systemd/tidewell-poll@.timer
        DESTINATION lib/systemd/system COMPONENT tidewell)

# ---- Debian packages: cpack -G DEB in the build directory ----
# Maintainer scripts, with the packaged paths filled in.
foreach(script tidewell/postinst tidewell/prerm tidewell/postrm libqorcom/postinst
               libqorcom/prerm)
  configure_file(${PROJECT_SOURCE_DIR}/packaging/${script}.in
                 ${PROJECT_BINARY_DIR}/packaging/${script} @ONLY
                 FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
                                  GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
endforeach()
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tidewell)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Tidewell maintainers <tidewell@localhost>")
set(CPACK_PACKAGING_INSTALL_PREFIX ${TW_PACKAGE_PREFIX})
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL tidewell libqorcom tidewell-tools)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
# Dependencies on Debian's own libraries come from dpkg-shlibdeps; those between our packages
# are exact.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${PROJECT_BINARY_DIR}/src/comlite)
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
set(tw_exact "(= ${PROJECT_VERSION})")

set(CPACK_DEBIAN_TIDEWELL_PACKAGE_NAME tidewell)
set(CPACK_DEBIAN_TIDEWELL_DESCRIPTION
    "Fuel station POS poller\n Tidewell moves sales from a fuel station's POS to the back office and maintenance\n files the other way; Ravelin sets up its sites. Timer units poll each site unattended.")
set(CPACK_DEBIAN_TIDEWELL_PACKAGE_DEPENDS "libqorcom ${tw_exact}, adduser")
set(CPACK_DEBIAN_TIDEWELL_PACKAGE_RECOMMENDS "p7zip-full")
set(CPACK_DEBIAN_TIDEWELL_PACKAGE_CONTROL_EXTRA
    ${PROJECT_BINARY_DIR}/packaging/tidewell/postinst
    ${PROJECT_BINARY_DIR}/packaging/tidewell/prerm
    ${PROJECT_BINARY_DIR}/packaging/tidewell/postrm)
set(CPACK_DEBIAN_TIDEWELL_PACKAGE_CONTROL_STRICT_PERMISSION ON)

set(CPACK_DEBIAN_LIBQORCOM_PACKAGE_NAME libqorcom)
set(CPACK_DEBIAN_LIBQORCOM_DESCRIPTION
    "Automation services for Tidewell\n libcomlite (a COM-compatible runtime), libqorcom (file transfer, mail, locks, logs,\n queue and dial-up services called by ProgID), qorregsvr and qorauto. The servers are\n registered in the machine's registry /etc/comlite/registry.reg on installation.")
set(CPACK_DEBIAN_LIBQORCOM_PACKAGE_CONTROL_EXTRA
    ${PROJECT_BINARY_DIR}/packaging/libqorcom/postinst
    ${PROJECT_BINARY_DIR}/packaging/libqorcom/prerm)
set(CPACK_DEBIAN_LIBQORCOM_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The MAPI mail provider hands messages to the system's sendmail program.
set(CPACK_DEBIAN_LIBQORCOM_PACKAGE_SUGGESTS "default-mta | mail-transport-agent")

set(CPACK_DEBIAN_TIDEWELL-TOOLS_PACKAGE_NAME tidewell-tools)
set(CPACK_DEBIAN_TIDEWELL-TOOLS_DESCRIPTION
    "POS simulator and back-office stand-in for Tidewell\n possim plays a fuel station's POS (journals, movement reports, maintenance imports);\n the back-office stand-in serves QORPost.Station and QORPost.Inventory from SQLite.")
set(CPACK_DEBIAN_TIDEWELL-TOOLS_PACKAGE_DEPENDS "libqorcom ${tw_exact}")

include(CPack)
