// A session file named on the command line: opened at first show in place of
// the last one, or an error box when it cannot be opened.

#include "gui/MainWindow.h"
#include "resources/ResourceList.h"
#include "support/FakeWindow.h"
#include "support/TestFiles.h"

#include <QDir>
#include <gtest/gtest.h>

namespace {

class StartFile : public TemporaryFiles {
protected:
    FakePlatform platform;
    FakeWindowServices ui;
    FakePrompts &prompts = ui.prompts;
};

} // namespace

TEST_F(StartFile, OpensInPlaceOfTheLastFileOrSaysWhyNot)
{
    writeBytes(path("last.lu"), "0,,LAST,\r\n");
    writeBytes(path("given.lu"), "0,,A,\r\n0,,B,\r\n");
    QDir(dir.path()).mkdir("folder.lu");
    struct Case {
        const char *name;
        int rows;
        QString error;     // the error box's text, empty when none
        const char *title; // the window caption after the first show
        const char *last;  // the stored value "LastFile" after it
    };
    const Case cases[] = {
        {"given.lu", 2, "", "Lumeo - [given.lu]", "given.lu"},
        {"missing.lu", 0, "Cannot open file " + path("missing.lu") + ", no such file or directory.", "Lumeo",
         "last.lu"},
        {"folder.lu", 0, "Cannot open file " + path("folder.lu") + ", is a directory.", "Lumeo", "last.lu"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        prompts.errors.clear();
        StartedWindow w(platform.platform(), ui.services());
        w.workspace().session().setLastFile(path("last.lu"));
        w.setStartFile(path(c.name));
        w.show();
        EXPECT_EQ(w.workspace().list().count(), c.rows);
        EXPECT_EQ(prompts.errors, c.error.isEmpty() ? QStringList() : QStringList({c.error}));
        EXPECT_EQ(w.windowTitle(), c.title);
        EXPECT_EQ(w.workspace().session().lastFile(), path(c.last));
        // Shown again (restored from minimised, say), nothing is opened twice.
        w.hide();
        w.show();
        EXPECT_EQ(prompts.errors.size(), c.error.isEmpty() ? 0 : 1);
    }
}
