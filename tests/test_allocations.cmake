# The allocation counter replaces malloc and operator new in the test
# executable; the plug-in loaded at run time must bind to them.
set_target_properties(test_allocations PROPERTIES ENABLE_EXPORTS ON)
