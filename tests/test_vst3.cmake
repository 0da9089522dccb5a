# The VST3 test host loads the binary of the built bundle through its entry points.
if(TARGET test_vst3)
  target_compile_definitions(test_vst3 PRIVATE ZELVO_VST3_BINARY="$<TARGET_FILE:QDXZelvoVst3>")
  add_dependencies(test_vst3 QDXZelvoVst3)
endif()
