# The VST3 and CLAP editors in their built Windows binaries.
if(TARGET test_format_editors_win32)
  target_compile_definitions(test_format_editors_win32 PRIVATE
    ZELVO_VST3_BINARY="$<TARGET_FILE:QDXZelvoVst3>" ZELVO_CLAP_BINARY="$<TARGET_FILE:QDXZelvoClap>")
  add_dependencies(test_format_editors_win32 QDXZelvoVst3 QDXZelvoClap)
endif()
