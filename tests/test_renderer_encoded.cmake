# Encoded deliveries: the built qdx-render writes Vorbis, Opus and MP3, and
# the test decodes them with libsndfile and measures them with libebur128
# (and with ffmpeg where it is installed).
if(TARGET test_renderer_encoded)
  find_package(PkgConfig)
  if(PkgConfig_FOUND)
    pkg_check_modules(ZELVO_ENCODED_SNDFILE IMPORTED_TARGET sndfile)
    pkg_check_modules(ZELVO_ENCODED_EBUR128 IMPORTED_TARGET libebur128)
  endif()
  if(TARGET qdx-render AND ZELVO_ENCODED_SNDFILE_FOUND AND ZELVO_ENCODED_EBUR128_FOUND)
    target_link_libraries(test_renderer_encoded PRIVATE PkgConfig::ZELVO_ENCODED_SNDFILE
                                                        PkgConfig::ZELVO_ENCODED_EBUR128)
    add_dependencies(test_renderer_encoded qdx-render)
  else()
    set_target_properties(test_renderer_encoded PROPERTIES EXCLUDE_FROM_ALL TRUE)
    set_tests_properties(test_renderer_encoded PROPERTIES DISABLED TRUE)
  endif()
endif()
