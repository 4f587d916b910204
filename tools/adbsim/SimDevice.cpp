#include "SimDevice.h"
#include "SimDeviceTable.h"

#include <cstring>
#include <string>

namespace SimDevice {

const char* const kSerial = "emulator-5554";
const char* const kProduct = "sdk_gphone64_x86_64";
const char* const kModel = "sdk_gphone64_x86_64";
const char* const kDevice = "emulator64_x86_64";
const char* const kTransportId = "1";

const SimProperty kProperties[] = {
    {"dalvik.vm.heapsize", "576m"},
    {"init.svc.adbd", "running"},
    {"persist.sys.device_name", u8"Café Ñandú"},
    {"persist.sys.locale", "es-ES"},
    {"persist.sys.timezone", "Europe/Madrid"},
    {"ro.boot.serialno", "EMULATOR33X1X10X0"},
    {"ro.build.fingerprint",
     "google/sdk_gphone64_x86_64/emulator64_x86_64:13/TE1A.220922.034/10940250:userdebug/dev-keys"},
    {"ro.build.id", "TE1A.220922.034"},
    {"ro.build.type", "userdebug"},
    {"ro.build.version.release", "13"},
    {"ro.build.version.sdk", "33"},
    {"ro.hardware", "ranchu"},
    {"ro.kernel.qemu", "1"},
    {"ro.product.brand", "google"},
    {"ro.product.cpu.abi", "x86_64"},
    {"ro.product.device", "emulator64_x86_64"},
    {"ro.product.locale", "en-US"},
    {"ro.product.manufacturer", "Google"},
    {"ro.product.model", "sdk_gphone64_x86_64"},
    {"ro.product.name", "sdk_gphone64_x86_64"},
    {"ro.serialno", "EMULATOR33X1X10X0"},
    {"sys.boot_completed", "1"},
};
const size_t kPropertyCount = sizeof(kProperties) / sizeof(kProperties[0]);

const SimPackage kPackages[] = {
    {"android", "/system/framework/framework-res.apk", true},
    {"com.android.chrome", "/product/app/Chrome/Chrome.apk", true},
    {"com.android.launcher3", "/system_ext/priv-app/Launcher3QuickStep/Launcher3QuickStep.apk", true},
    {"com.android.phone", "/system/priv-app/TeleService/TeleService.apk", true},
    {"com.android.settings", "/system/priv-app/Settings/Settings.apk", true},
    {"com.android.shell", "/system/priv-app/Shell/Shell.apk", true},
    {"com.android.systemui", "/system_ext/priv-app/SystemUIGoogle/SystemUIGoogle.apk", true},
    {"com.example.kestrel", "/data/app/~~Qm3rT1kq8wLc1xZ2uV0bYA==/com.example.kestrel-Hn4c7sKdP2eVb9xW1aYz0g==/base.apk",
     false},
    {"com.google.android.gms", "/product/priv-app/PrebuiltGmsCore/PrebuiltGmsCore.apk", true},
    {"org.example.musica", "/data/app/~~Zp0sLx2Wq9vKc3mB7nT4eA==/org.example.musica-Rf8uJ2hYt5Gd1sXc6vBn3w==/base.apk",
     false},
};
const size_t kPackageCount = sizeof(kPackages) / sizeof(kPackages[0]);

// A name that ends in '/' is a folder; the slash is not shown by ls.
const SimFolder kFolders[] = {
    {"/", u8"Música\0acct/\0apex/\0bin/\0bugreports\0cache/\0config/\0d/\0data/\0data_mirror/\0"
          "debug_ramdisk/\0dev/\0etc/\0init\0init.environ.rc\0linkerconfig/\0lost+found/\0metadata/\0"
          "mnt/\0odm/\0oem/\0postinstall/\0proc/\0product/\0sdcard/\0storage/\0sys/\0system/\0"
          "system_ext/\0vendor/\0"},
    {"/sdcard", "Alarms/\0Android/\0Audiobooks/\0DCIM/\0Documents/\0Download/\0Movies/\0Music/\0"
                "Notifications/\0Pictures/\0Podcasts/\0Recordings/\0Ringtones/\0"},
    {"/sdcard/Music", u8"Canción de cuna.mp3\0Ñu.ogg\0"},
    {"/sdcard/Download", "kestrel-notes.txt\0"},
    {"/system", "app/\0bin/\0build.prop\0etc/\0fonts/\0framework/\0lib/\0lib64/\0priv-app/\0product/\0"
                "usr/\0xbin/\0"},
    {"/data", NULL},
    {"/proc", NULL},
    {"/storage", "emulated/\0self/\0"},
    {"/storage/emulated", NULL},
};
const size_t kFolderCount = sizeof(kFolders) / sizeof(kFolders[0]);

const char* FindProperty(const char* pszName)
{
    // Each device has names of its own; the rest of the table is shared.
    const SimDeviceInfo& d = Current();
    const std::string* pOwn = nullptr;
    if (strcmp(pszName, "ro.product.model") == 0)
        pOwn = &d.strModel;
    else if (strcmp(pszName, "ro.product.name") == 0)
        pOwn = &d.strProduct;
    else if (strcmp(pszName, "ro.product.device") == 0)
        pOwn = &d.strDevice;
    if (pOwn != nullptr && !pOwn->empty())
        return pOwn->c_str();
    for (size_t i = 0; i < kPropertyCount; ++i)
        if (strcmp(kProperties[i].pszName, pszName) == 0)
            return kProperties[i].pszValue;
    return NULL;
}

const SimPackage* FindPackage(const char* pszName)
{
    for (size_t i = 0; i < kPackageCount; ++i)
        if (strcmp(kPackages[i].pszName, pszName) == 0)
            return &kPackages[i];
    return NULL;
}

SimPathKind Classify(const std::string& strPath, const char** ppEntries)
{
    *ppEntries = "";
    for (size_t i = 0; i < kFolderCount; ++i)
        if (strPath == kFolders[i].pszPath)
        {
            *ppEntries = kFolders[i].pszEntries;
            return kFolders[i].pszEntries != NULL ? SimPathFolder : SimPathDenied;
        }
    size_t nSlash = strPath.find_last_of('/');
    if (nSlash == std::string::npos || nSlash + 1 >= strPath.size())
        return SimPathNone;
    std::string strParent = nSlash == 0 ? std::string("/") : strPath.substr(0, nSlash);
    const char* pParentEntries = NULL;
    SimPathKind parent = Classify(strParent, &pParentEntries);
    if (parent == SimPathDenied)
        return SimPathDenied;
    if (parent != SimPathFolder)
        return SimPathNone;
    std::string strName = strPath.substr(nSlash + 1);
    for (const char* p = pParentEntries; *p != '\0'; p += strlen(p) + 1)
    {
        size_t n = strlen(p);
        if (p[n - 1] == '/' && strName.compare(0, std::string::npos, p, n - 1) == 0)
            return SimPathFolder;
        if (strName == p)
            return SimPathFile;
    }
    return SimPathNone;
}

} // namespace SimDevice
