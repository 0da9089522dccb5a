# The toolkit tests share the scripted window and test pictures.
target_sources(test_toolkit PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/support/gui/GuiTestSupport.cpp)
