#include "gui/CommandRunner.h"
#include "base/Exception.h"
#include "gui/Pictures.h"
#include "support/FakePrompts.h"

#include <QImage>
#include <gtest/gtest.h>
#include <stdexcept>

TEST(CommandRunner, FailuresReachTheErrorBoxWithAFullStop)
{
    FakePrompts prompts;
    runCommand(prompts, nullptr, [] { throw Exception("Cannot open file /x/a.lu"); });
    runCommand(prompts, nullptr, [] { throw Exception("Already ends."); });
    runCommand(prompts, nullptr, [] { throw std::runtime_error("plain"); });
    bool ran = false;
    runCommand(prompts, nullptr, [&] { ran = true; });
    EXPECT_TRUE(ran);
    EXPECT_EQ(prompts.errors, QStringList({"Cannot open file /x/a.lu.", "Already ends.", "plain."}));
}

TEST(Pictures, EveryPictureDrawsSomething)
{
    const QList<QIcon> all = Pictures::commandPictures() + Pictures::statusPictures();
    ASSERT_EQ(all.size(), 17 + 7); // the monitor's picture is the 17th
    for (int i = 0; i < all.size(); ++i) {
        const QImage image = all[i].pixmap(16, 16).toImage();
        ASSERT_EQ(image.size(), QSize(16, 16)) << i;
        int opaque = 0;
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x)
                opaque += qAlpha(image.pixel(x, y)) > 128;
        EXPECT_GT(opaque, 12) << "picture " << i;
    }
}
