// Sizes that Windows structures announce about themselves.  They come from
// this build's own layout: a size written as a number fits one architecture
// only (the pre-2000 OPENFILENAMEA is 136 bytes on x86-64 but 76 on x86, and
// a wrong lStructSize makes GetOpenFileNameA fail without a dialog).
#pragma once

#include <windows.h>
#include <commdlg.h>

#include <cstddef>

// The settings-file dialogs use the structure without the places-bar fields
// (what OPENFILENAME_SIZE_VERSION_400A says, as a constant expression).
constexpr DWORD kOpenFileNameStructSize =
    DWORD(offsetof(OPENFILENAMEA, lpTemplateName) + sizeof(OPENFILENAMEA::lpTemplateName));

#if defined(_WIN64)
static_assert(kOpenFileNameStructSize == 136, "x86-64 OPENFILENAMEA, pre-2000 form");
#else
static_assert(kOpenFileNameStructSize == 76, "x86 OPENFILENAMEA, pre-2000 form");
#endif
