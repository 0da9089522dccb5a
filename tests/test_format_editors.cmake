# The VST3 and CLAP editors in their built plug-ins, on the X server through XTest.
if(TARGET test_format_editors)
  find_package(X11 REQUIRED)
  target_link_libraries(test_format_editors PRIVATE X11::X11 X11::Xtst)
  target_compile_definitions(test_format_editors PRIVATE
    ZELVO_VST3_BINARY="$<TARGET_FILE:QDXZelvoVst3>" ZELVO_CLAP_BINARY="$<TARGET_FILE:QDXZelvoClap>")
  add_dependencies(test_format_editors QDXZelvoVst3 QDXZelvoClap)
endif()
