// Modal message boxes with an OK button.
#pragma once

#include <functional>

namespace platform
{

void showMessageBox(const char* caption, const char* text);

// While set, message boxes are handed to the recorder instead of shown
// (tests and tools); an empty function restores showing.
using MessageBoxRecorder = std::function<void(const char* caption, const char* text)>;
void setMessageBoxRecorder(MessageBoxRecorder recorder);

} // namespace platform
