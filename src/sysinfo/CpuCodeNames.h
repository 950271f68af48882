#pragma once

#include <QString>
#include <cstdint>

// What the product and code name of a processor are looked up by.
struct CpuModelKey {
    std::uint32_t vendorIndex = 0;
    int family = 0;
    int model = 0;
    int stepping = 0;
    std::uint32_t brandId = 0;
    int level2 = 0;    // KB
    int frequency = 0; // MHz
};

// Looks the processor up in the vendors' product and code-name tables. A
// row found replaces the product name and the code name (some rows clear
// the code name); a processor no row knows keeps both as they are, so the
// product name stays the brand string. AMD's rows read the brand string
// from `friendlyName`.
void lookUpCodeName(const CpuModelKey &key, QString &friendlyName, QString &codeName);
