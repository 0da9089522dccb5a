# The layer test reads the source tree itself.
target_compile_definitions(test_include_layers PRIVATE ZELVO_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
