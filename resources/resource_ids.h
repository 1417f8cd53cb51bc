// Numbers of the resources in resources/viewer.rc that code refers to. Kept
// free of C++ so that the resource compiler can read it.
#pragma once

// The text resource: its number and type are fixed by the text table
// (foundation/text_table.h).
#define IDR_TEXTS 339

// Info box of the custom application information.
#define IDD_INFO_BOX 169
#define IDC_INFO_BOX_TEXT 1303
