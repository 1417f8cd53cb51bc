// The fixed identifiers of the control library: its type library, classes
// and interfaces. plovex.idl takes them from here, so the type library, the
// registration (through the header widl makes) and the tests agree. Plain
// GUID text only: widl's preprocessor and the tests read this file too.
#pragma once

// clang-format off

// widl 7.0 writes 0x0d over the last byte of the library's own identifier
// in every type library it makes (the classes' and interfaces' stay as
// given): this identifier ends in 0d, so the type library, the registration
// and the tests name the same library.
#define PLOVEX_UUID_TYPELIB 157f8f95-c09f-4021-8c2f-c87135f2780d
#define PLOVEX_UUID_IPLOVEXCTRL 5a90b4e7-1a0c-493a-b33a-f34e6661d3e8
#define PLOVEX_UUID_IDOCUMENT 53b0e68f-b6db-4de1-8539-9f0eb52a0657
#define PLOVEX_UUID_ICONVERTER e67785f5-fc09-41c0-8b71-89cc9e6609db
#define PLOVEX_UUID_IPLOVEXCTRLEVENTS 66eb0338-45ab-4470-a5b7-7634d7b7a2ce
#define PLOVEX_UUID_PLOVEXCTRL 8de79f1a-7f29-4945-912a-241b24d8e303
#define PLOVEX_UUID_DOCUMENT d663d66c-7a52-4c3b-9bb8-657da439b0e8
#define PLOVEX_UUID_CONVERTER f4e3ada3-d56a-4b84-b254-8b758f1bd9b4
// clang-format on
