#include "system/Log.h"

#include "support/SourceTestKit.h"

#include <gtest/gtest.h>

#include <string_view>

static_assert(std::string_view(trovix_log::baseName("/src/web/sources/AllMusicGuide.cpp")) ==
              "AllMusicGuide.cpp");
static_assert(std::string_view(trovix_log::baseName("Plain.cpp")) == "Plain.cpp");

TEST(Log, WebFailuresNameTheSourceFileAndLine) {
    LogCapture log;
    const int line = __LINE__ + 1;
    TROVIX_WEB_LOG() << "GrabWebPage 1 (http://x) returned NIL";
    ASSERT_EQ(log.lines().size(), 1);
    EXPECT_EQ(log.lines().first(),
              QStringLiteral("Log_test.cpp/%1: GrabWebPage 1 (http://x) returned NIL").arg(line));
}
