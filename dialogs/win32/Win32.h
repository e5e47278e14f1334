#pragma once
// The Windows headers as the windowed view wants them: the multibyte (A)
// calls, common controls and common dialogs. DialogView has a member called
// MessageBox, so the header's macro of that name is taken away again.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// The common control and dialog headers need the definitions above first.
#include <commctrl.h>
#include <commdlg.h>

#ifdef MessageBox
#undef MessageBox
#endif

#include <string>

namespace korvane::dlg::win32 {

// The module (DLL or program) this code is linked into: its resources hold
// the dialog templates.
HINSTANCE ThisModule();

// The window's text (its caption, an edit's contents).
std::string WindowText(HWND window);

}  // namespace korvane::dlg::win32
