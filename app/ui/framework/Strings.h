#pragma once

#include <windows.h>

#include <initializer_list>
#include <string>

namespace omvar::ui {

// A string resource of the program, empty when there is none.
std::wstring loadString(UINT id);
// Field `index` of a resource string made of fields separated by '\n' (document strings, command
// prompts with their tool tip), empty when there is no such field.
std::wstring stringField(const std::wstring& text, std::size_t index);
// Replaces %1, %2, ... in the text by the arguments, as the framework's prompts use them.
std::wstring formatPrompt(const std::wstring& text, std::initializer_list<std::wstring> arguments);
// A message box with the application's title as caption, owned by the active window of the
// thread (a dialog in front), else by the main window when there is one.
int messageBox(const std::wstring& text, UINT flags);
// The prompt resource id with its arguments in a message box.
int promptBox(UINT promptId, std::initializer_list<std::wstring> arguments, UINT flags);

}  // namespace omvar::ui
