# Real windows under an X server: the test drives the pointer and keyboard
# through XTest (a test-only library; the plug-in links only libX11).
find_package(X11 REQUIRED)
target_sources(test_x11_windows PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/support/gui/GuiTestSupport.cpp)
target_link_libraries(test_x11_windows PRIVATE X11::X11 X11::Xtst)
