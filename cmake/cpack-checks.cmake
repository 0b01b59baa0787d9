# Read by cpack for each generator. Without dpkg-shlibdeps CPack would make a
# .deb that declares no dependencies; refuse instead.
if(CPACK_GENERATOR STREQUAL "DEB")
  find_program(RAMP_SHLIBDEPS dpkg-shlibdeps)
  if(NOT RAMP_SHLIBDEPS)
    message(FATAL_ERROR "dpkg-shlibdeps is missing (apt-get install dpkg-dev): the package's dependencies would be lost")
  endif()
endif()
