// The MBROLA binding against our real libmbrola, found by its bare name as
// the program would, and against libraries lacking an entry point.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "orvia/mbrola.h"

namespace {

bool allEntryPointsNull() {
  MbrolaEntryPoints none{};
  return std::memcmp(&Mbrola, &none, sizeof none) == 0;
}

// dlopen with RTLD_NOLOAD answers whether the library is still in the process.
bool loaded(const char *library) {
  void *h = dlopen(library, RTLD_NOW | RTLD_NOLOAD);
  if (h) dlclose(h);
  return h != nullptr;
}

struct Unbind : ::testing::Test {
  void TearDown() override { UnbindMbrola(); }
};

using MbrolaBinding = Unbind;

TEST_F(MbrolaBinding, FindsOurLibraryByBareNameAndSpeaksThroughIt) {
  ASSERT_FALSE(loaded(MBROLA_LIBRARY));
  ASSERT_TRUE(BindMbrola()) << dlerror();
  EXPECT_TRUE(MbrolaBound());
  EXPECT_TRUE(loaded(MBROLA_LIBRARY));
  const void *const *entry = reinterpret_cast<const void *const *>(&Mbrola);
  for (int i = 0; i < MBROLA_ENTRY_POINT_COUNT; ++i)
    EXPECT_NE(entry[i], nullptr) << MBROLA_ENTRY_POINT_NAMES[i];

  // The pointers reach the right functions: the engine's own calls on our voice.
  ASSERT_EQ(Mbrola.init_MBR(KALEVO_VOZ_MBROLA), 0);
  Mbrola.setNoError_MBR(1);
  Mbrola.reset_MBR();
  for (const char *line : {"_ 50\r\n", "a 200 50 180\r\n", "_ 50\r\n"}) {
    Mbrola.write_MBR(line);
    EXPECT_EQ(Mbrola.lastError_MBR(), 0) << line;
  }
  Mbrola.flush_MBR();
  std::vector<short> buffer(16000);
  long samples = 0;
  for (int n; (n = Mbrola.read_MBR(buffer.data(), static_cast<int>(buffer.size()))) > 0;) samples += n;
  EXPECT_NEAR(samples, 300 * 16, 16 * 10);  // 300 ms at 16 000 Hz
  Mbrola.close_MBR();

  UnbindMbrola();
  EXPECT_FALSE(MbrolaBound());
  EXPECT_TRUE(allEntryPointsNull());
  EXPECT_FALSE(loaded(MBROLA_LIBRARY));
  UnbindMbrola();  // a second time does nothing
}

TEST_F(MbrolaBinding, RefusesAndReleasesALibraryLackingAnEntryPoint) {
  for (const char *missing : {"init_MBR", "appendf0_Phone"}) {
    std::string library = std::string(KALEVO_TESTS_DIR) + "/libmbrola_sem_" + missing + ".so";
    EXPECT_FALSE(BindMbrola(library.c_str())) << missing;
    EXPECT_FALSE(MbrolaBound()) << missing;
    EXPECT_TRUE(allEntryPointsNull()) << missing;
    EXPECT_FALSE(loaded(library.c_str())) << missing;
  }
}

TEST_F(MbrolaBinding, FailsWhenNoLibraryIsFound) {
  ASSERT_TRUE(BindMbrola());
  // A failed binding also drops the one before it.
  EXPECT_FALSE(BindMbrola("libkalevo-sem-mbrola.so"));
  EXPECT_FALSE(MbrolaBound());
  EXPECT_TRUE(allEntryPointsNull());
  EXPECT_FALSE(loaded(MBROLA_LIBRARY));
  EXPECT_FALSE(BindMbrola(""));
  EXPECT_FALSE(BindMbrola(nullptr));
}

}  // namespace
