# The guard is measured with the renderer's reconstruction meter, compiled
# in; the transforms are arithmetic-heavy: optimised even in debug builds.
if(TARGET test_true_peak_reconstruction)
  target_sources(test_true_peak_reconstruction PRIVATE ${CMAKE_SOURCE_DIR}/tools/render/ReconstructedPeak.cpp)
  target_compile_options(test_true_peak_reconstruction PRIVATE $<$<CXX_COMPILER_ID:GNU,Clang>:-O2>)
endif()
