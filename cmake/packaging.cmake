# Install rules and packages. The program goes to bin/, its manual page to
# share/man/man1/, and the README, the plot script, the licence and the
# changelog to share/doc/ramp-slipv/; tests, benchmarks and fuzz targets are
# not installed. The .deb holds the manual page and the changelog gzipped and
# the licence as the Debian copyright file (cmake/cpack-deb.cmake). On Windows
# the zip holds Ramp-SlipV.exe, README.md, plot.gp, LICENSE.txt,
# changelog.txt and the manual page as text, Ramp-SlipV.txt, side by side in
# its one folder.
include(GNUInstallDirs)
set(CPACK_PACKAGE_CONTACT "Ramp-SlipV maintainers <maintainers@users.noreply.c-seed-51853dbb.example>")

# The manual page and the changelog, with the version (and the changelog's
# maintainer) put in.
configure_file(docs/Ramp-SlipV.1 ${CMAKE_BINARY_DIR}/Ramp-SlipV.1 @ONLY)
configure_file(docs/changelog ${CMAKE_BINARY_DIR}/changelog @ONLY)

# The Debian copyright file: LICENSE in the machine-readable format.
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/LICENSE)
file(READ ${PROJECT_SOURCE_DIR}/LICENSE licence)
string(REGEX MATCH "Copyright \\(c\\) ([^\n]+)" licence_holder "${licence}")
set(licence_holder "${CMAKE_MATCH_1}")
string(FIND "${licence}" "Permission is hereby granted" licence_at)
if(NOT licence_holder OR licence_at LESS 0)
  message(FATAL_ERROR "LICENSE: no copyright line or no MIT terms")
endif()
string(SUBSTRING "${licence}" ${licence_at} -1 licence_terms)
string(STRIP "${licence_terms}" licence_terms)
string(REGEX REPLACE "\n\n+" "\n.\n" licence_terms "${licence_terms}")
string(REPLACE "\n" "\n " licence_terms "${licence_terms}")
file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/copyright @ONLY CONTENT
"Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: Ramp-SlipV

Files: *
Copyright: @licence_holder@
License: Expat
 @licence_terms@
")

if(WIN32)
  install(TARGETS Ramp-SlipV RUNTIME DESTINATION .)
  install(FILES README.md tools/plot.gp DESTINATION .)
  install(FILES LICENSE DESTINATION . RENAME LICENSE.txt)
  install(FILES ${CMAKE_BINARY_DIR}/changelog DESTINATION . RENAME changelog.txt)
  # The manual page as plain text, where groff is there to render it; the
  # page's source otherwise.
  find_program(RAMP_GROFF groff)
  if(RAMP_GROFF)
    execute_process(COMMAND ${RAMP_GROFF} -man -Tascii -P-cbou ${CMAKE_BINARY_DIR}/Ramp-SlipV.1
                    OUTPUT_FILE ${CMAKE_BINARY_DIR}/Ramp-SlipV.txt RESULT_VARIABLE groff_status)
    if(NOT groff_status EQUAL 0)
      message(FATAL_ERROR "groff could not render the manual page")
    endif()
    install(FILES ${CMAKE_BINARY_DIR}/Ramp-SlipV.txt DESTINATION .)
  else()
    message(STATUS "groff not found: the zip holds the manual page's source, Ramp-SlipV.1")
    install(FILES ${CMAKE_BINARY_DIR}/Ramp-SlipV.1 DESTINATION .)
  endif()
else()
  set(RAMP_INSTALL_DOCDIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/ramp-slipv)
  install(TARGETS Ramp-SlipV RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES README.md tools/plot.gp LICENSE ${CMAKE_BINARY_DIR}/changelog
          DESTINATION ${RAMP_INSTALL_DOCDIR})
  install(FILES ${CMAKE_BINARY_DIR}/Ramp-SlipV.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  # What cmake/cpack-deb.cmake needs to turn the staged files into the .deb's.
  set(CPACK_RAMP_DOCDIR ${RAMP_INSTALL_DOCDIR})
  set(CPACK_RAMP_MANDIR ${CMAKE_INSTALL_MANDIR}/man1)
  set(CPACK_RAMP_COPYRIGHT ${CMAKE_BINARY_DIR}/copyright)
  set(CPACK_RAMP_STRIP ${CMAKE_STRIP})
  set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/cpack-deb.cmake)
endif()

# cd build && cpack: ramp-slipv-<version>-Linux-x86_64.deb and .tar.gz, or
# ramp-slipv-<version>-win64.zip.
set(CPACK_PACKAGE_NAME ramp-slipv)
set(CPACK_PACKAGE_VENDOR "Ramp-SlipV maintainers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "slip-velocity function of a smooth ramp and its amplitude spectrum")
# The extended description, in lines of at most 80 characters.
set(CPACK_PACKAGE_DESCRIPTION
    "Ramp-SlipV samples the slip of a smooth ramp (a hyperbolic-tangent step from
0 to 1), its slip velocity and its slip acceleration, 8192 times 0.01 s apart
for a rise time of 3.8 s by default, and writes them to Ramp_Slip.csv in the
current folder. It transforms the velocity with a radix-2 fast Fourier
transform and writes the velocity and acceleration amplitude spectra up to
the Nyquist frequency to Ramp_Amp.csv. Options set the rise time, the time
step, the number of samples, the centre of the ramp and the output folder.
Every line of the console and of both files has a fixed layout, byte for
byte. A gnuplot script in the documentation draws both files.")
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
