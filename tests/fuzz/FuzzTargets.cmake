# The fuzz target, added to the plug-in's own build by run-fuzz.sh (through
# CMAKE_PROJECT_QDXZelvo_INCLUDE) so that it links the very zelvo_core the
# plug-in is made of, instrumented for coverage. Not part of the normal build.
add_executable(fuzz_preset_readers EXCLUDE_FROM_ALL ${CMAKE_CURRENT_LIST_DIR}/FuzzPresetReaders.cpp)
set_target_properties(fuzz_preset_readers PROPERTIES CXX_STANDARD 17 CXX_STANDARD_REQUIRED ON
                      RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
target_link_libraries(fuzz_preset_readers PRIVATE zelvo_core)
# Directory-wide sanitizer options come after this file; the target names its own.
target_link_options(fuzz_preset_readers PRIVATE -fsanitize=fuzzer,address,undefined)
