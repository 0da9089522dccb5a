# The guard's tests measure with libebur128's true-peak meter, as the
# renderer's report does.
if(TARGET test_true_peak_guard)
  find_package(PkgConfig)
  if(PkgConfig_FOUND AND NOT WIN32)
    pkg_check_modules(ZELVO_TEST_EBUR128 IMPORTED_TARGET libebur128)
  endif()
  if(ZELVO_TEST_EBUR128_FOUND)
    target_link_libraries(test_true_peak_guard PRIVATE PkgConfig::ZELVO_TEST_EBUR128)
    # The measurements are arithmetic-heavy: optimised even in debug builds.
    target_compile_options(test_true_peak_guard PRIVATE $<$<CXX_COMPILER_ID:GNU,Clang>:-O2>)
  else()
    set_target_properties(test_true_peak_guard PROPERTIES EXCLUDE_FROM_ALL TRUE)
    set_tests_properties(test_true_peak_guard PROPERTIES DISABLED TRUE)
  endif()
endif()
