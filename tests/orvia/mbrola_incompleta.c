/* A library with MBROLA's entry points but one: the binding must refuse it.
 * Built once with SEM_init_MBR and once with SEM_appendf0_Phone. */
#define ENTRADA(nome) \
  int nome(void) { return 0; }

#ifndef SEM_init_MBR
ENTRADA(init_MBR)
#endif
ENTRADA(init_rename_MBR)
ENTRADA(write_MBR)
ENTRADA(flush_MBR)
ENTRADA(read_MBR)
ENTRADA(readtype_MBR)
ENTRADA(close_MBR)
ENTRADA(reset_MBR)
ENTRADA(lastError_MBR)
ENTRADA(lastErrorStr_MBR)
ENTRADA(setNoError_MBR)
ENTRADA(getNoError_MBR)
ENTRADA(setFreq_MBR)
ENTRADA(getFreq_MBR)
ENTRADA(setVolumeRatio_MBR)
ENTRADA(getVolumeRatio_MBR)
ENTRADA(getVersion_MBR)
ENTRADA(getDatabaseInfo_MBR)
ENTRADA(setParser_MBR)
ENTRADA(init_Phone)
ENTRADA(reset_Phone)
ENTRADA(close_Phone)
#ifndef SEM_appendf0_Phone
ENTRADA(appendf0_Phone)
#endif
