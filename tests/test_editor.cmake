# The editor tests drive the X server (Xvfb) through XTest, as a user would.
if(TARGET test_editor)
  find_package(X11 REQUIRED)
  foreach(test test_editor test_editor_presetbar test_editor_overlays test_meters_gui)
    if(TARGET ${test})
      target_link_libraries(${test} PRIVATE X11::X11 X11::Xtst)
    endif()
  endforeach()
endif()
