// Binding of the MBROLA diphone synthesizer: the library is loaded at run
// time by its bare name, through the system's library search, so that Orvia
// starts without it and fails cleanly when it is missing.
#pragma once

constexpr const char *MBROLA_LIBRARY = "libmbrola.so";
constexpr int MBROLA_ENTRY_POINT_COUNT = 23;

struct MbrolaPhone;  // the library's own phone record, only passed back to it

struct MbrolaParser {
  void *context;
  int (*next_phone)(void *context, MbrolaPhone **phone);
};

// The library's entry points, with the C signatures it exports. All null
// while the library is not bound.
struct MbrolaEntryPoints {
  int (*init_MBR)(const char *path);
  int (*init_rename_MBR)(const char *path, const char *rename, const char *clone);
  int (*write_MBR)(const char *text);
  int (*flush_MBR)();
  int (*read_MBR)(short *buffer, int n);
  int (*readtype_MBR)(void *buffer, int n, int type);
  void (*close_MBR)();
  void (*reset_MBR)();
  int (*lastError_MBR)();
  int (*lastErrorStr_MBR)(char *buffer, int length);
  void (*setNoError_MBR)(int noError);
  int (*getNoError_MBR)();
  void (*setFreq_MBR)(int frequency);
  int (*getFreq_MBR)();
  void (*setVolumeRatio_MBR)(float ratio);
  float (*getVolumeRatio_MBR)();
  int (*getVersion_MBR)(char *buffer, int length);
  int (*getDatabaseInfo_MBR)(char *buffer, int length, int index);
  int (*setParser_MBR)(const MbrolaParser *parser);
  MbrolaPhone *(*init_Phone)(const char *name, float duration);
  void (*reset_Phone)(MbrolaPhone *phone);
  void (*close_Phone)(MbrolaPhone *phone);
  int (*appendf0_Phone)(MbrolaPhone *phone, float position, float frequency);
};

extern MbrolaEntryPoints Mbrola;

// The entry points' names, in the order they are looked up.
extern const char *const MBROLA_ENTRY_POINT_NAMES[MBROLA_ENTRY_POINT_COUNT];

// Loads `library` (a bare name goes through the system's search: the
// executable's RUNPATH, LD_LIBRARY_PATH, the cache) and looks up every entry
// point. False when the library cannot be loaded or lacks one of them; it is
// then released again and every entry point stays null. Binding again first
// releases the library bound before.
bool BindMbrola(const char *library = MBROLA_LIBRARY);

// Releases the library and clears the entry points; nothing happens when
// none is bound.
void UnbindMbrola();

bool MbrolaBound();
