# Install rules and packages. The program goes to bin/, the README and the
# plot script to share/doc/ramp-slipv/; tests, benchmarks and fuzz targets
# are not installed. On Windows the zip holds Ramp-SlipV.exe, README.md and
# plot.gp side by side in its one folder.
include(GNUInstallDirs)
if(WIN32)
  set(RAMP_INSTALL_BINDIR .)
  set(RAMP_INSTALL_DOCDIR .)
else()
  set(RAMP_INSTALL_BINDIR ${CMAKE_INSTALL_BINDIR})
  set(RAMP_INSTALL_DOCDIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/ramp-slipv)
endif()
install(TARGETS Ramp-SlipV RUNTIME DESTINATION ${RAMP_INSTALL_BINDIR})
install(FILES README.md tools/plot.gp DESTINATION ${RAMP_INSTALL_DOCDIR})

# cd build && cpack: ramp-slipv-<version>-Linux-x86_64.deb and .tar.gz, or
# ramp-slipv-<version>-win64.zip.
set(CPACK_PACKAGE_NAME ramp-slipv)
set(CPACK_PACKAGE_VENDOR "Ramp-SlipV maintainers")
set(CPACK_PACKAGE_CONTACT "Ramp-SlipV maintainers <maintainers@users.noreply.c-seed-51853dbb.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "slip-velocity function of a smooth ramp and its amplitude spectrum")
set(CPACK_PACKAGE_DESCRIPTION
    "Writes the slip, slip velocity and slip acceleration of a smooth ramp (rise time 3.8 s) at 8192 instants to Ramp_Slip.csv and their amplitude spectra to Ramp_Amp.csv in the current folder.")
if(WIN32)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(CPACK_SYSTEM_NAME win64)
  else()
    set(CPACK_SYSTEM_NAME win32)
  endif()
  set(CPACK_GENERATOR ZIP)
else()
  set(CPACK_SYSTEM_NAME ${CMAKE_SYSTEM_NAME}-${CMAKE_SYSTEM_PROCESSOR})
  set(CPACK_GENERATOR DEB TGZ)
endif()
set(CPACK_PACKAGE_FILE_NAME ${CPACK_PACKAGE_NAME}-${PROJECT_VERSION}-${CPACK_SYSTEM_NAME})
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_PACKAGE_SECTION science)
# Depends: what the installed program links, found by dpkg-shlibdeps
# (dpkg-dev); nothing when it links nothing dynamically.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_LIST_DIR}/cpack-checks.cmake)

include(CPack)
