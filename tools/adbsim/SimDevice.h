#pragma once

#include <cstddef>
#include <string>

// The one simulated phone: an x86_64 emulator image. Texts with letters
// outside ASCII are UTF-8, as a device sends them.
struct SimProperty
{
    const char* pszName;
    const char* pszValue;
};

struct SimPackage
{
    const char* pszName;
    const char* pszPath;
    bool bSystem;
};

// A folder of the simulated file system whose content is known; pszEntries
// is a list of names, each ending in NUL, the list ending in an empty name.
// NULL entries mean the folder exists but the shell user may not read it.
struct SimFolder
{
    const char* pszPath;
    const char* pszEntries;
};

enum SimPathKind
{
    SimPathNone,
    SimPathFile,
    SimPathFolder,
    SimPathDenied
};

namespace SimDevice {

extern const char* const kSerial;
extern const char* const kProduct;
extern const char* const kModel;
extern const char* const kDevice;
extern const char* const kTransportId;

// Sorted by name, as getprop lists them.
extern const SimProperty kProperties[];
extern const size_t kPropertyCount;

extern const SimPackage kPackages[];
extern const size_t kPackageCount;

extern const SimFolder kFolders[];
extern const size_t kFolderCount;

const char* FindProperty(const char* pszName);
const SimPackage* FindPackage(const char* pszName);
// What an absolute, normalised path names; for a readable folder
// *ppEntries gets its entry list (empty for a folder whose content is not
// modelled).
SimPathKind Classify(const std::string& strPath, const char** ppEntries);

} // namespace SimDevice
