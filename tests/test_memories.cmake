# The memories and the settings store are written by several threads at once
# in their tests: they also run under ThreadSanitizer.
set_tests_properties(test_memories test_settings_store PROPERTIES LABELS threads)
