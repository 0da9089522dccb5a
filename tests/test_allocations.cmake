# The allocation counter replaces malloc and operator new in the test
# executable; the plug-in loaded at run time must bind to them.
set_target_properties(test_allocations PROPERTIES ENABLE_EXPORTS ON)
# The LV2 build's run() too, where the bundle is built.
if(TARGET qdx-zelvo)
  target_compile_definitions(test_allocations PRIVATE ZELVO_LV2_BINARY="$<TARGET_FILE:qdx-zelvo>")
  target_include_directories(test_allocations PRIVATE ${ZELVO_LV2_INCLUDE_DIR})
  add_dependencies(test_allocations qdx-zelvo)
endif()
# And the CLAP and VST3 builds' process().
if(TARGET QDXZelvoClap AND NOT WIN32)
  target_compile_definitions(test_allocations PRIVATE ZELVO_CLAP_BINARY="$<TARGET_FILE:QDXZelvoClap>")
  add_dependencies(test_allocations QDXZelvoClap)
endif()
if(TARGET QDXZelvoVst3 AND NOT WIN32)
  target_compile_definitions(test_allocations PRIVATE ZELVO_VST3_BINARY="$<TARGET_FILE:QDXZelvoVst3>")
  add_dependencies(test_allocations QDXZelvoVst3)
endif()
