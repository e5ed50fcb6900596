#include "mbrola.h"

#include <dlfcn.h>

MbrolaEntryPoints Mbrola{};
static_assert(sizeof(MbrolaEntryPoints) == MBROLA_ENTRY_POINT_COUNT * sizeof(void (*)()),
              "one pointer an entry point");

const char *const MBROLA_ENTRY_POINT_NAMES[MBROLA_ENTRY_POINT_COUNT] = {
    "init_MBR",       "init_rename_MBR",    "write_MBR",          "flush_MBR",
    "read_MBR",       "readtype_MBR",       "close_MBR",          "reset_MBR",
    "lastError_MBR",  "lastErrorStr_MBR",   "setNoError_MBR",     "getNoError_MBR",
    "setFreq_MBR",    "getFreq_MBR",        "setVolumeRatio_MBR", "getVolumeRatio_MBR",
    "getVersion_MBR", "getDatabaseInfo_MBR", "setParser_MBR",     "init_Phone",
    "reset_Phone",    "close_Phone",        "appendf0_Phone"};

namespace {

void *libraryHandle = nullptr;

template <typename F>
void take(F &entry, void *address) {
  entry = reinterpret_cast<F>(address);
}

}  // namespace

bool BindMbrola(const char *library) {
  UnbindMbrola();
  if (library == nullptr || *library == '\0') return false;  // dlopen("") would hand back the program itself
  void *handle = dlopen(library, RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) return false;

  void *found[MBROLA_ENTRY_POINT_COUNT];
  for (int i = 0; i < MBROLA_ENTRY_POINT_COUNT; ++i) {
    found[i] = dlsym(handle, MBROLA_ENTRY_POINT_NAMES[i]);
    if (found[i] == nullptr) {
      dlclose(handle);
      return false;
    }
  }
  // Same order as the names above.
  int i = 0;
  take(Mbrola.init_MBR, found[i++]);
  take(Mbrola.init_rename_MBR, found[i++]);
  take(Mbrola.write_MBR, found[i++]);
  take(Mbrola.flush_MBR, found[i++]);
  take(Mbrola.read_MBR, found[i++]);
  take(Mbrola.readtype_MBR, found[i++]);
  take(Mbrola.close_MBR, found[i++]);
  take(Mbrola.reset_MBR, found[i++]);
  take(Mbrola.lastError_MBR, found[i++]);
  take(Mbrola.lastErrorStr_MBR, found[i++]);
  take(Mbrola.setNoError_MBR, found[i++]);
  take(Mbrola.getNoError_MBR, found[i++]);
  take(Mbrola.setFreq_MBR, found[i++]);
  take(Mbrola.getFreq_MBR, found[i++]);
  take(Mbrola.setVolumeRatio_MBR, found[i++]);
  take(Mbrola.getVolumeRatio_MBR, found[i++]);
  take(Mbrola.getVersion_MBR, found[i++]);
  take(Mbrola.getDatabaseInfo_MBR, found[i++]);
  take(Mbrola.setParser_MBR, found[i++]);
  take(Mbrola.init_Phone, found[i++]);
  take(Mbrola.reset_Phone, found[i++]);
  take(Mbrola.close_Phone, found[i++]);
  take(Mbrola.appendf0_Phone, found[i++]);
  libraryHandle = handle;
  return true;
}

void UnbindMbrola() {
  if (libraryHandle == nullptr) return;
  dlclose(libraryHandle);
  libraryHandle = nullptr;
  Mbrola = MbrolaEntryPoints{};
}

bool MbrolaBound() { return libraryHandle != nullptr; }
