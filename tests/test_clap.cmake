# The CLAP test host loads the built plug-in through its entry point.
if(TARGET test_clap)
  target_compile_definitions(test_clap PRIVATE ZELVO_CLAP_BINARY="$<TARGET_FILE:QDXZelvoClap>")
  add_dependencies(test_clap QDXZelvoClap)
endif()
