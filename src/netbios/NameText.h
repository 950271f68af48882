#pragma once

#include <QByteArrayView>
#include <QString>

// NetBIOS names travel as bytes without a stated code page. Windows and
// Samba write them in the OEM code page, CP850 unless set otherwise; some
// machines send UTF-8. A name whose bytes are valid UTF-8 is read as UTF-8
// (plain ASCII reads the same either way, and OEM text is seldom valid
// UTF-8 by chance), any other as CP850.
namespace netbios {

QString decodeNameBytes(QByteArrayView bytes);

// A name as the program shows and keeps it: decoded, then cleaned of what
// no name may carry into a list or a file (see cleanNetworkText).
QString displayName(QByteArrayView bytes);

} // namespace netbios
