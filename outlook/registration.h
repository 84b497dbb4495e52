// Self-registration of the add-in: the values that make the host load it (the
// add-in key with LoadBehavior 3, the classes and type library, the client-extension
// value), written into the registry's three roots, and their removal.
//
// The module path is the installed `quorvel` program. Registration also deletes the
// client's extension cache file (the "Local AppData" shell folder value followed by
// "/Microsoft/Outlook/extend.dat"), so that the client reads the extensions again.
#ifndef QUORVEL_OUTLOOK_REGISTRATION_H_
#define QUORVEL_OUTLOOK_REGISTRATION_H_

#include <string>

#include "platform/registry.h"

namespace quorvel::outlook {

inline constexpr const char* kAddInsKey = "Software\\Microsoft\\Office\\Outlook\\Addins";
inline constexpr const char* kExtensionsKey = "SOFTWARE\\Microsoft\\Exchange\\Client\\Extensions";
inline constexpr const char* kAddInClsid = "{D20CF633-A2EE-42F9-84DB-D1FA05CF8C42}";
inline constexpr const char* kCoreClsid = "{9F8C9A12-6868-44D8-B9CE-12E403B3BD63}";
inline constexpr const char* kTypeLibId = "{91204651-EA8A-40F3-B15C-93B864B7FF1B}";
inline constexpr const char* kInterfaceId = "{FB0841DE-8637-496C-9B23-22282F35FDE6}";
// The client-extension value with %MODULE% for the module path.
inline constexpr const char* kExtensionValue = "4.0;%MODULE%;5;10000101001;0011";

// Writes every registration value (DllRegisterServer). Returns ERROR_SUCCESS or the
// first failing call's code; *error then says which key (and the registry's reason).
long RegisterAddIn(platform::Registry& registry, const std::string& modulePath, std::string* error);

// Removes the classes, the type library and the client-extension value
// (DllUnregisterServer). The add-in key "Quorvel" written by registration stays: the
// key removed is the older "QV.QVAddIn". Without the classes the host no longer
// loads the add-in. Values already gone are not an error.
long UnregisterAddIn(platform::Registry& registry, std::string* error);

// Whether the add-in's class is registered (what the host needs to load it).
bool AddInRegistered(platform::Registry& registry);

}  // namespace quorvel::outlook

#endif  // QUORVEL_OUTLOOK_REGISTRATION_H_
