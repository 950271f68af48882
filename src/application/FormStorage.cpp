#include "application/FormStorage.h"

#include "application/SettingsStore.h"
#include "base/Exception.h"

#include <QMap>
#include <QRegularExpression>

#include <limits>

#include <algorithm>
#include <utility>

namespace {

// Stored values compare without regard to case.
std::optional<QString> lookUp(const QMap<QString, QString> &values, const QString &name)
{
    const auto exact = values.constFind(name);
    if (exact != values.cend())
        return *exact;
    for (auto it = values.cbegin(); it != values.cend(); ++it)
        if (it.key().compare(name, Qt::CaseInsensitive) == 0)
            return it.value();
    return std::nullopt;
}

QString rectText(const QRect &r) { return fourToText({r.left(), r.top(), r.left() + r.width(), r.top() + r.height()}); }

} // namespace

namespace {

// A number of the echo settings: checked before it is narrowed, so that a
// number too long for an int is out of range, not 0.
template <int EchoSettings::*member, QString (*check)(qint64)>
QString readNumber(const QString &text, EchoSettings &settings)
{
    const qint64 value = textToWideInt(text);
    QString problem = check(value);
    if (problem.isEmpty())
        settings.*member = int(value);
    return problem;
}

template <int EchoSettings::*member>
QString writeNumber(const EchoSettings &settings)
{
    return QString::number(settings.*member);
}

QString readProbePorts(const QString &text, EchoSettings &settings)
{
    QString problem;
    if (const auto ports = EchoLimits::parseProbePorts(text, &problem))
        settings.probePorts = *ports;
    return problem;
}

QString writeProbePorts(const EchoSettings &settings) { return EchoLimits::probePortsText(settings.probePorts); }

} // namespace

const EchoSettingValue kEchoSettingValues[6] = {
    {"Ping_Timeout", &readNumber<&EchoSettings::timeoutMs, &EchoLimits::checkTimeout>,
     &writeNumber<&EchoSettings::timeoutMs>},
    {"Ping_Size", &readNumber<&EchoSettings::size, &EchoLimits::checkSize>, &writeNumber<&EchoSettings::size>},
    {"Ping_TTL", &readNumber<&EchoSettings::ttl, &EchoLimits::checkTTL>, &writeNumber<&EchoSettings::ttl>},
    {"Ping_Parallel", &readNumber<&EchoSettings::parallel, &EchoLimits::checkParallel>,
     &writeNumber<&EchoSettings::parallel>},
    {"Probe_Ports", &readProbePorts, &writeProbePorts},
    {"Monitor_Interval", &readNumber<&EchoSettings::monitorIntervalSeconds, &EchoLimits::checkMonitorInterval>,
     &writeNumber<&EchoSettings::monitorIntervalSeconds>},
};

void readEchoSettings(const QMap<QString, QString> &values, EchoSettings &settings, QStringList &refused)
{
    for (const EchoSettingValue &v : kEchoSettingValues) {
        const auto t = lookUp(values, QLatin1String(v.name));
        if (!t)
            continue;
        if (const QString problem = v.read(*t, settings); !problem.isEmpty())
            refused << QStringLiteral("%1 (stored value \"%2\"); %3 is used")
                           .arg(problem, QLatin1String(v.name), v.write(settings));
    }
}

bool textToBool(const QString &text)
{
    const QString t = text.trimmed();
    if (t.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0)
        return true;
    if (t.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0)
        return false;
    bool ok = false;
    const double number = t.toDouble(&ok);
    if (ok && !t.isEmpty())
        return number != 0;
    throw Exception(QStringLiteral("Could not convert variant of type (String) into type (Boolean)"));
}

QString boolToText(bool value) { return value ? QStringLiteral("True") : QStringLiteral("False"); }

int textToInt(const QString &text)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    return ok ? value : 0;
}

qint64 textToWideInt(const QString &text)
{
    const QString t = text.trimmed();
    bool ok = false;
    const qint64 value = t.toLongLong(&ok);
    if (ok)
        return value;
    // A whole number beyond even 64 bits is still a number, and far out of range.
    static const QRegularExpression digits(QStringLiteral("^[+-]?[0-9]+$"));
    if (digits.match(t).hasMatch())
        return t.startsWith(QLatin1Char('-')) ? std::numeric_limits<qint64>::min() : std::numeric_limits<qint64>::max();
    return 0;
}

std::array<int, 4> textToFour(const QString &text, const std::array<int, 4> &defaults)
{
    static const QRegularExpression separators(QStringLiteral("[\\s,]+"));
    const QStringList parts = text.split(separators, Qt::SkipEmptyParts);
    std::array<int, 4> out = defaults;
    for (std::size_t i = 0; i < out.size() && i < std::size_t(parts.size()); ++i) {
        bool ok = false;
        const int value = parts[qsizetype(i)].toInt(&ok);
        if (ok)
            out[i] = value;
    }
    return out;
}

QString fourToText(const std::array<int, 4> &p)
{
    return QStringLiteral("%1,%2,%3,%4").arg(p[0]).arg(p[1]).arg(p[2]).arg(p[3]);
}

QString TFormStorage::suffix(QSize resolution)
{
    return QStringLiteral("(%1x%2)").arg(resolution.width()).arg(resolution.height());
}

RestoreResult TFormStorage::restore(FormSettings &settings, const ScreenFacts &screen)
{
    RestoreResult result;
    if (m_restored)
        return result;
    m_restored = true;

    QMap<QString, QString> values;
    try {
        values = m_store.read();
    } catch (const Exception &e) {
        // Defaults apply, and the file is left as it is for the user to look at.
        m_readFailed = true;
        result.unreadable = e.message() + QStringLiteral(". The default settings apply, and the file is not changed.");
        return result;
    }
    auto text = [&values](const QString &name) { return lookUp(values, name); };

    if (textToInt(text(QStringLiteral("FormVersion")).value_or(QStringLiteral("0"))) < 0) {
        // A newer program's settings: none of them is ours to read, nor to
        // write over at close.
        m_readFailed = true;
        return result;
    }
    result.runRestoreEvent = true;

    // Placement: the resolution's own position first, then the plain one.
    WindowPlacement &p = settings.placement;
    if (const auto flags = text(QStringLiteral("Flags")))
        p.flags = textToInt(*flags);
    auto position = [&](const QString &name) -> std::optional<QString> {
        const auto specific = text(name + suffix(screen.resolution));
        if (specific && !specific->isEmpty())
            return specific;
        return text(name);
    };
    const auto minMax = position(QStringLiteral("MinMaxPos"));
    if (minMax) {
        const auto m = textToFour(*minMax, {0, 0, 0, 0});
        p.minPosition = QPoint(m[0], m[1]);
        p.maxPosition = QPoint(m[2], m[3]);
    }
    const auto norm = position(QStringLiteral("NormPos"));
    const QRect current = p.normal;
    std::array<int, 4> n = {current.left(), current.top(), current.left() + current.width(),
                            current.top() + current.height()};
    if (norm)
        n = textToFour(*norm, n);
    const int storedPpi =
        textToInt(text(QStringLiteral("PixelsPerInch")).value_or(QString::number(screen.pixelsPerInch)));
    // Sizes in 64 bits: a hand-edited rectangle may span more than an int.
    const qint64 width = qint64(n[2]) - n[0], height = qint64(n[3]) - n[1];
    constexpr qint64 kLargestSide = 1 << 24; // the largest widget Qt makes
    if ((minMax || norm) && storedPpi == screen.pixelsPerInch && width > 0 && height > 0 && width <= kLargestSide
        && height <= kLargestSide) {
        const QRect stored(QPoint(n[0], n[1]), QSize(int(width), int(height)));
        // A window put where no screen of this session is would be lost.
        const bool visible = std::any_of(screen.screens.cbegin(), screen.screens.cend(),
                                         [&stored](const QRect &s) { return s.intersects(stored); });
        if (visible) {
            p.normal = stored;
            result.normal = stored;
            result.movePosition = screen.canPlace;
        }
    }

    // Stored properties: a text that is not an integer counts as 0; a value
    // the echo service cannot work with keeps the current one.
    readEchoSettings(values, settings.echo, result.refused);
    if (const auto t = text(QStringLiteral("twTree_Width")))
        settings.treeWidth = textToInt(*t);

    // Stored values are taken as text; their readers convert them.
    settings.dns = text(QStringLiteral("DNS")).value_or(settings.dns);
    settings.lastFile = text(QStringLiteral("LastFile")).value_or(settings.lastFile);
    settings.monitorLog = text(QStringLiteral("Monitor_Log")).value_or(settings.monitorLog);
    // Only a choice the user made shows the columns: anything but "True" keeps the design's list.
    if (const auto t = text(QStringLiteral("Statistics_Columns")))
        settings.statisticsColumns = t->trimmed().compare(QLatin1String("True"), Qt::CaseInsensitive) == 0;
    return result;
}

bool TFormStorage::save(const FormSettings &settings, const ScreenFacts &screen, bool closing)
{
    if (!m_restored || m_saved || m_readFailed)
        return false;
    m_saved = true;
    const WindowPlacement &p = settings.placement;
    const QString minMax = fourToText({p.minPosition.x(), p.minPosition.y(), p.maxPosition.x(), p.maxPosition.y()});
    const QString norm = rectText(p.normal);
    const QString sfx = suffix(screen.resolution);
    SettingsStore::Values values{
        {QStringLiteral("FormVersion"), QStringLiteral("0")},
        {QStringLiteral("Flags"), QString::number(p.flags)},
        {QStringLiteral("ShowCmd"), QString::number(p.showCmd)},
        {QStringLiteral("PixelsPerInch"), QString::number(screen.pixelsPerInch)},
        {QStringLiteral("MinMaxPos") + sfx, minMax},
        {QStringLiteral("MinMaxPos"), minMax},
        {QStringLiteral("NormPos") + sfx, norm},
        {QStringLiteral("NormPos"), norm},
        {QStringLiteral("Visible"), closing ? QStringLiteral("0") : QStringLiteral("1")},
    };
    for (const EchoSettingValue &v : kEchoSettingValues)
        values.append({QLatin1String(v.name), v.write(settings.echo)});
    values += SettingsStore::Values{
        {QStringLiteral("twTree_Width"), QString::number(settings.treeWidth)},
        {QStringLiteral("DNS"), settings.dns},
        {QStringLiteral("LastFile"), settings.lastFile},
        {QStringLiteral("Monitor_Log"), settings.monitorLog},
        {QStringLiteral("Statistics_Columns"), boolToText(settings.statisticsColumns)},
    };
    m_store.write(values);
    return true;
}
