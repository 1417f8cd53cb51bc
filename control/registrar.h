// Registration of the library under HKEY_CLASSES_ROOT: the type library,
// and for each class its ProgIDs and CLSID key; for the control also its
// OLE keys and the MIME types through which browsers show TIFF files and
// document lists full-page in it.
#pragma once

#include <windows.h>

// S_OK, or SELFREG_E_TYPELIB / SELFREG_E_CLASS when a part failed.
HRESULT RegistrarRegister();
// Removes the classes' keys and the type library. The MIME and extension
// keys are shared with other programs: they stay, and only a CLSID value
// that names the control goes. S_OK also when nothing was registered.
HRESULT RegistrarUnregister();
