// The program's version record, in an ELF section of its own so that the
// about box (and anyone with readelf) finds it in the executable file.
// Layout: see sysinfo/VersionInfo.h.

#define LUMEO_STRING_TABLE "\\StringFileInfo\\040904E4\\"

extern const char lumeoVersionRecord[];
__attribute__((section(".lumeo.version"), used, retain, aligned(1))) const char lumeoVersionRecord[] =
    "LUMEO-VERSION-1\0"
    "\\\0"
    "5.0.0.300\0"
    "\\VarFileInfo\\Translation\0"
    "0409:04E4\0" LUMEO_STRING_TABLE "CompanyName\0"
    "Korvell\0" LUMEO_STRING_TABLE "FileDescription\0"
    "Network scanning tool\0" LUMEO_STRING_TABLE "FileVersion\0"
    "5.0.0.300\0" LUMEO_STRING_TABLE "ProductName\0"
    "Lumeo\0" LUMEO_STRING_TABLE "ProductVersion\0"
    "5.0.0.0\0" LUMEO_STRING_TABLE "Comments\0"
    "Win 9x, Me, NT4, 2K, XP compatible\0" LUMEO_STRING_TABLE "LegalCopyright\0"
    "Copyright \xC2\xA9 2003-2025 Korvell\0" LUMEO_STRING_TABLE "InternalName\0"
    "\0" LUMEO_STRING_TABLE "OriginalFilename\0"
    "\0";
