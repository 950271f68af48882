#include "sysinfo/CpuCodeNames.h"

#include "sysinfo/CpuCache.h"

#include <optional>

namespace {

struct Row {
    const char *product;
    const char *codeName; // null clears it
};

using Found = std::optional<Row>;

// Pentium III and later by the brand index of the signature.
Found intelByBrand(std::uint32_t brandId, const char *codeName)
{
    switch (brandId) {
    case 0:
        return Row{"Pentium III E", codeName};
    case 1:
        return Row{"Celeron", codeName};
    case 2:
        return Row{"Pentium III", codeName};
    case 3:
        return Row{"Pentium III Xeon", codeName};
    case 8:
        return Row{"Pentium 4", codeName};
    default:
        return std::nullopt;
    }
}

Found intel(const CpuModelKey &k)
{
    const int m = k.model;
    switch (k.family) {
    case 4:
        switch (m) {
        case 0:
        case 1:
            return Row{"i80486DX", "P4"};
        case 2:
            return Row{"i80486SX", "P23"};
        case 3:
            return Row{"i80486DX2", "P24"};
        case 4:
            return Row{"i80486SL", "P23"};
        case 5:
            return Row{"i80486SX2", "P23"};
        case 7:
            return Row{"i80486DX2WB", "P24"};
        case 8:
            return Row{"i80486DX4", "P24C"};
        case 9:
            return Row{"i80486DX4WB", "P24C"};
        default:
            return std::nullopt;
        }
    case 5:
        switch (m) {
        case 0:
            return Row{"Pentium", "P5 (0,80µm)"};
        case 1:
        case 2:
            return Row{"Pentium", "P54C (0,50µm)"};
        case 3:
            return Row{"Pentium", "P24T"};
        case 4:
            return Row{"Pentium MMX", "P55C (0,28µm)"};
        case 5:
            return Row{"DX4", nullptr};
        case 6:
            return Row{"Pentium", "P5"};
        case 7:
            return Row{"Pentium", "P54C (0,35µm)"};
        case 8:
            return Row{"Pentium MMX (mobile)", "Tillamook (0,25µm)"};
        default:
            return Row{"Pentium", nullptr}; // 9 and above
        }
    case 6:
        switch (m) {
        case 0:
            return Row{"Pentium Pro", "P6 (0.50 µm)"};
        case 1:
            return Row{"Pentium Pro", "P6 (0.35 µm)"};
        case 3:
            return Row{"Pentium II", k.level2 == 333 ? "P6T (0.25 µm)" : "Klamath (0.35 µm)"};
        case 4:
            return Row{"Pentium II", "P55CT (P54 OverDrive)"};
        case 5:
            if (k.level2 > 512)
                return Row{"Pentium II Xeon", "Deschutes (0.25 µm)"};
            if (k.level2 == 0)
                return Row{"Celeron", "Covington (0,25µm)"};
            return Row{"Pentium II", "Deschutes (0,25µm)"};
        case 6:
            if (k.level2 >= 256)
                return Row{"Pentium II PE (mobile)", "Dixon (0.25 µm)"};
            return Row{"Celeron A", "Mendocino (0.25 µm)"};
        case 7:
            if (k.level2 > 512)
                return Row{"Pentium III Xeon", "Tanner (0.25 µm)"};
            return Row{"Pentium III", "Katmai (0.25 µm)"};
        case 8:
            return intelByBrand(k.brandId, "Coppermine (0.18 µm)");
        case 9:
            return Row{"Pentium III Xeon", "Cascades"};
        case 11:
            return Row{"Pentium III-M", "Mobile Tualatin"};
        default:
            return Row{"Pentium III", nullptr}; // 2, 10 and 12 and above
        }
    case 7:
    case 8:
        return intelByBrand(k.brandId, "Cascades");
    case 10:
        return Row{"Pentium III Xeon", "Cascades"};
    case 15:
        if (m <= 2 && k.brandId == 8)
            return Row{"Pentium 4", "Willamette"};
        return std::nullopt;
    default:
        return std::nullopt;
    }
}

Found amd(const CpuModelKey &k, const QString &brand)
{
    const int m = k.model;
    switch (k.family) {
    case 4:
        if (m == 0)
            return Row{"Am486DX", "P4"};
        if (m == 3 || m == 7)
            return Row{"Am486DX2", "P24"};
        if (m == 8 || m == 9)
            return Row{"Am486DX4", "P24C"};
        if (m == 14 || m == 15)
            return Row{"Am5x86", "X5"};
        return std::nullopt;
    case 5:
        switch (m) {
        case 0:
            return Row{"K5", "SSA5 (0.50-0.35 µm)"};
        case 1:
        case 2:
        case 3:
            return Row{"K5-5k86 (PR120, PR133)", "5k86 (0.35 µm)"};
        case 6:
            return Row{"K6", "K6 (0.30 µm)"};
        case 7:
            return Row{"K6", "Little Foot (0.25 µm)"};
        case 8:
            return Row{"K6-II", "Chomper (0.25 µm)"};
        case 9:
            return Row{"K6-III", "Sharptooth (0.25 µm)"};
        case 13:
            return Row{"K6-II+/K6-III+", nullptr};
        default:
            return std::nullopt;
        }
    case 6:
        switch (m) {
        case 1:
            return Row{"K7", "Thunderbird (0.25-0.18 µm)"};
        case 2:
            return Row{"Athlon", "Thunderbird (0.25-0.18 µm)"};
        case 3:
            return Row{"Duron", "Spitfire"};
        case 4:
            return Row{"Athlon", "Thunderbird"};
        case 6:
        case 7:
            if (brand.contains(QLatin1String("Duron")))
                return Row{"Duron", "Morgan"};
            if (brand.contains(QLatin1String("MP")))
                return Row{"Athlon MP", "Palomino"};
            return Row{"Athlon XP", "Palomino"};
        default:
            return std::nullopt;
        }
    default:
        return std::nullopt;
    }
}

Found cyrix(const CpuModelKey &k)
{
    const int m = k.model, mhz = k.frequency;
    if (k.family == 4 && m == 0) {
        if (mhz == 20 || mhz == 66)
            return Row{"Cx486SLC/DLC", "M0.5"};
        if (mhz == 33 || mhz == 50)
            return Row{"Cx486S", "M0.6"};
        if (mhz > 66)
            return Row{"Cx486DX/DX2/DX4", "M0.7"};
        return std::nullopt;
    }
    if (k.family == 4 && m == 4)
        return Row{"Media GX", "Gx86"};
    if (k.family == 4 && m == 9)
        return Row{"5x86", "M0.9 or M1sc (0.65 µm)"};
    if (k.family == 5 && m == 2)
        return Row{"6x86 and 6x86L", "M1 (0.65 µm) and M1L (0.35 µm)"};
    if (k.family == 5 && m == 4)
        return Row{"MediaGXm", "GXm"};
    if (k.family == 6 && m == 0)
        return mhz < 225 ? Row{"6x86MX (PR166-266)", "M2 (0.35 µm)"} : Row{"M-II (PR300-433)", "M2 (0.35-0.25 µm)"};
    if (k.family == 6 && m == 5)
        return Row{"VIA Cyrix III", "Joshua"};
    return std::nullopt;
}

Found idt(const CpuModelKey &k)
{
    const int m = k.model;
    if (k.family == 5) {
        if (m == 4)
            return Row{"WinChip", "C6 (0.35 µm)"};
        if (m == 8)
            return Row{"WinChip 2x", "W2x (0.35-0.25 µm)"};
        if (m == 9)
            return Row{"WinChip 3", "W3 (0.25 µm)"};
    } else if (k.family == 6) {
        if (m == 6)
            return Row{"VIA C3", "Samuel 1 (0.18µm)"};
        if (m == 7)
            return Row{"VIA C3", k.stepping < 8 ? "Samuel 2 (0.13µm)" : "Ezra (0.13µm)"};
        if (m == 8)
            return Row{"VIA C3", "Ezra-T (0.13µm)"};
    }
    return std::nullopt;
}

Found nexGen(const CpuModelKey &k)
{
    if (k.family == 5 && k.model == 0)
        return Row{"Nx586", "Nx5x86 (0.50-0.44 µm)"};
    if (k.family == 5 && k.model == 6)
        return Row{"Nx686", "HA (0,50µm)"};
    return std::nullopt;
}

Found umc(const CpuModelKey &k)
{
    static const char *const products[] = {"U5D", "U5S", "U486DX2", "U486SX2"};
    if (k.family == 4 && k.model >= 1 && k.model <= 4)
        return Row{products[k.model - 1], nullptr};
    return std::nullopt;
}

Found rise(const CpuModelKey &k)
{
    if (k.family != 5)
        return std::nullopt;
    switch (k.model) {
    case 0:
        return Row{"mP6", "iDragon"};
    case 2:
        return Row{"mP6", "iDragon 0.18µm"};
    case 8:
        return Row{"mP6", "iDragon II 0.25µm"};
    case 9:
        return Row{"mP6", "iDragon II 0.18µm"};
    default:
        return std::nullopt;
    }
}

Found transmeta(const CpuModelKey &k)
{
    if (k.family == 5 && k.model >= 0 && k.model <= 9)
        return Row{"Crusoe TM5x00", nullptr};
    return std::nullopt;
}

} // namespace

void lookUpCodeName(const CpuModelKey &key, QString &friendlyName, QString &codeName)
{
    Found row;
    switch (key.vendorIndex) {
    case vendorIntel:
        row = intel(key);
        break;
    case vendorAMD:
        row = amd(key, friendlyName);
        break;
    case vendorCyrix:
        row = cyrix(key);
        break;
    case vendorIDT:
        row = idt(key);
        break;
    case vendorNexGen:
        row = nexGen(key);
        break;
    case vendorUMC:
        row = umc(key);
        break;
    case vendorRise:
        row = rise(key);
        break;
    case vendorTransmeta:
        row = transmeta(key);
        break;
    default:
        break;
    }
    if (row) {
        friendlyName = QString::fromUtf8(row->product);
        codeName = row->codeName ? QString::fromUtf8(row->codeName) : QString();
    }
    // Every family 15 Intel with 512 KB of L2 is a Northwood.
    if (key.vendorIndex == vendorIntel && key.family == 15 && key.level2 == 512)
        codeName = QStringLiteral("Northwood");
}
