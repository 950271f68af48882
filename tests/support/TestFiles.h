#pragma once

// Files the tests write and read back whole, byte for byte, in a temporary
// directory of their own.

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <gtest/gtest.h>

// The file's bytes; empty when it cannot be opened, so that a check against
// the bytes expected fails on a missing file too.
inline QByteArray readBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Replaces the file's contents; a file that cannot be written, or is written
// only in part, fails the test.
inline void writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        << path.toStdString() << ": " << f.errorString().toStdString();
    ASSERT_EQ(f.write(bytes), bytes.size()) << path.toStdString() << ": " << f.errorString().toStdString();
}

// A test fixture with a fresh directory, removed with everything in it
// after the test.
class TemporaryFiles : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()) << dir.errorString().toStdString(); }
    QString path(const char *name) const { return dir.filePath(QString::fromUtf8(name)); }

    QTemporaryDir dir;
};
