# Run by cpack on the staged files of each package; turns those of the .deb
# into what Debian expects: the manual page and the changelog compressed with
# gzip -9n, the licence as the copyright file in the machine-readable format,
# and the program stripped of its .comment section, as dh_strip leaves it.
if(NOT CPACK_GENERATOR STREQUAL "DEB")
  return()
endif()
set(root ${CPACK_TEMPORARY_INSTALL_DIRECTORY}${CPACK_PACKAGING_INSTALL_PREFIX})
set(doc ${root}/${CPACK_RAMP_DOCDIR})
foreach(file ${doc}/changelog ${root}/${CPACK_RAMP_MANDIR}/Ramp-SlipV.1)
  execute_process(COMMAND gzip -9nf ${file} COMMAND_ERROR_IS_FATAL ANY)
endforeach()
file(REMOVE ${doc}/LICENSE)
file(COPY_FILE ${CPACK_RAMP_COPYRIGHT} ${doc}/copyright)
execute_process(COMMAND ${CPACK_RAMP_STRIP} --remove-section=.comment --remove-section=.note
                        ${root}/bin/Ramp-SlipV COMMAND_ERROR_IS_FATAL ANY)
