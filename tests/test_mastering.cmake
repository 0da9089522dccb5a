# Mastering to delivery targets runs the built qdx-render; the tests read its
# files with libsndfile and measure them with libebur128 and ffmpeg.
if(TARGET test_mastering)
  find_package(PkgConfig)
  if(PkgConfig_FOUND)
    pkg_check_modules(ZELVO_MASTERING_SNDFILE IMPORTED_TARGET sndfile)
    pkg_check_modules(ZELVO_MASTERING_EBUR128 IMPORTED_TARGET libebur128)
  endif()
  if(TARGET qdx-render AND ZELVO_MASTERING_SNDFILE_FOUND AND ZELVO_MASTERING_EBUR128_FOUND)
    target_link_libraries(test_mastering PRIVATE PkgConfig::ZELVO_MASTERING_SNDFILE PkgConfig::ZELVO_MASTERING_EBUR128)
    # The renderer's fast true-peak meter is checked against libebur128's.
    target_sources(test_mastering PRIVATE ${CMAKE_SOURCE_DIR}/tools/render/TruePeakMeter.cpp)
    target_include_directories(test_mastering PRIVATE ${CMAKE_SOURCE_DIR})
    add_dependencies(test_mastering qdx-render)
  else()
    set_target_properties(test_mastering PROPERTIES EXCLUDE_FROM_ALL TRUE)
    set_tests_properties(test_mastering PROPERTIES DISABLED TRUE)
  endif()
endif()
