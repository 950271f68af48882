#pragma once

#include <QByteArrayView>
#include <QtGlobal>

#include <optional>

// Reads numbers and runs of bytes from a packet that another machine wrote.
// Every read is checked against the end: a short or hostile packet makes a
// read return nothing instead of running past the buffer, and the position
// stays where it was. The reader only views the bytes: they must outlive it.
class ByteReader {
public:
    explicit ByteReader(QByteArrayView bytes, qsizetype pos = 0)
        : m_bytes(bytes), m_pos(pos < 0 || pos > bytes.size() ? bytes.size() : pos)
    {
    }

    qsizetype pos() const { return m_pos; }
    qsizetype remaining() const { return m_bytes.size() - m_pos; }
    bool has(qsizetype n) const { return n >= 0 && n <= remaining(); }

    bool seek(qsizetype pos)
    {
        if (pos < 0 || pos > m_bytes.size())
            return false;
        m_pos = pos;
        return true;
    }

    bool skip(qsizetype n) { return has(n) && seek(m_pos + n); }

    std::optional<QByteArrayView> bytes(qsizetype n)
    {
        if (!has(n))
            return std::nullopt;
        const QByteArrayView out = m_bytes.sliced(m_pos, n);
        m_pos += n;
        return out;
    }

    std::optional<quint8> u8() { return number<quint8>(1, false); }
    std::optional<quint16> u16be() { return number<quint16>(2, true); }
    std::optional<quint16> u16le() { return number<quint16>(2, false); }
    std::optional<quint32> u32be() { return number<quint32>(4, true); }
    std::optional<quint32> u32le() { return number<quint32>(4, false); }
    std::optional<quint64> u64le() { return number<quint64>(8, false); }

private:
    template <typename T>
    std::optional<T> number(qsizetype size, bool bigEndian)
    {
        if (!has(size))
            return std::nullopt;
        T value = 0;
        for (qsizetype i = 0; i < size; ++i) {
            const T byte = static_cast<quint8>(m_bytes[m_pos + (bigEndian ? i : size - 1 - i)]);
            value = static_cast<T>((value << 8) | byte);
        }
        m_pos += size;
        return value;
    }

    QByteArrayView m_bytes;
    qsizetype m_pos;
};
