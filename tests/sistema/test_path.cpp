#include <gtest/gtest.h>

#include <string>

#include "klpath.h"
#include "support/tempdir.h"

TEST(Path, DriveStandsForTheDataRootAndBackslashesBecomeSlashes) {
  ScopedEnv root("KALEVO_DATADIR", "/srv/kalevo/");
  struct Case {
    const char *windows, *native;
  } cases[] = {
      {"c:\\zolkar\\som\\letras", "/srv/kalevo/zolkar/som/letras"},
      {"C:/zolkar/som/difones\\", "/srv/kalevo/zolkar/som/difones/"},
      {"d:\\", "/srv/kalevo/"},
      {"c:\\zolkar\\som\\difones\\DIFONES2.IND", "/srv/kalevo/zolkar/som/difones/DIFONES2.IND"},
      {"c:foo", "c:foo"},  // drive-relative: no root to map it to
      {"1:\\x", "1:/x"},
      {"som\\letras\\_65.wav", "som/letras/_65.wav"},
      {"/usr/share/kalevo", "/usr/share/kalevo"},
      {"", ""},
  };
  for (const Case &c : cases) EXPECT_EQ(nativePath(c.windows), c.native) << c.windows;
}

TEST(Path, DataRootFromTheEnvironmentOrTheBuild) {
  {
    ScopedEnv root("KALEVO_DATADIR", "/");
    EXPECT_EQ(nativePath("c:\\zolkar"), "/zolkar");
  }
  ScopedEnv root("KALEVO_DATADIR", "");
  std::string built = dataDirectory();
  ASSERT_FALSE(built.empty());
  EXPECT_EQ(built.front(), '/');
  EXPECT_EQ(nativePath("c:\\zolkar"), (built == "/" ? "" : built) + "/zolkar");
}
