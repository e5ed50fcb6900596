/* libmbrola: our diphone synthesizer with MBROLA's calling interface.
 *
 * One voice and one utterance queue per process (module-level state, no
 * locking): load a voice with init_MBR, write phoneme text with write_MBR,
 * end the utterance with flush_MBR (or a line "#"), then read the samples
 * with read_MBR until it gives 0.
 *
 * Phoneme text, one phoneme a line:
 *     NAME DURATION [POSITION PITCH]...
 * DURATION in milliseconds, POSITION in percent of the phoneme, PITCH in Hz;
 * numbers are plain decimals ("80", "12.5"), whatever the C locale says.
 * ";" starts a comment, "_" is silence, a line "#" ends the utterance.
 * The pitch curve runs straight from target to target across phonemes and
 * holds before the first and after the last; without any target the voice
 * speaks at its own pitch.
 *   - duration <= 0: the phoneme is left out (no sound, no time);
 *   - duration > 10000 ms: the line is refused (MBR_ERR_RANGE);
 *   - pitch <= 0: that target is ignored; pitch > 1000 Hz: the line is
 *     refused; pitches below 40 Hz are raised to 40 Hz;
 *   - positions are kept within 0..100.
 * An unknown phoneme is a missing diphone: an error (MBR_ERR_PHONEME, the
 * line is ignored), or in no-error mode a silence of its duration.
 */
#ifndef KALEVO_MBROLA_H
#define KALEVO_MBROLA_H

#ifdef __cplusplus
extern "C" {
#endif

#if defined(__GNUC__)
#define MBR_API __attribute__((visibility("default")))
#else
#define MBR_API
#endif

/* Error codes given by lastError_MBR (init_MBR returns them negated). */
enum {
  MBR_ERR_NONE = 0,
  MBR_ERR_VOICE_OPEN = 1,   /* the voice file cannot be opened or read */
  MBR_ERR_VOICE_FORMAT = 2, /* the file is not a voice of ours, or is damaged */
  MBR_ERR_NO_VOICE = 3,     /* no voice is loaded */
  MBR_ERR_PHONEME = 4,      /* unknown phoneme (a missing diphone) */
  MBR_ERR_SYNTAX = 5,       /* a phoneme line that cannot be read */
  MBR_ERR_RANGE = 6,        /* a duration or pitch out of range */
  MBR_ERR_LINE_LENGTH = 7,  /* a line longer than MBR_MAX_LINE bytes */
  MBR_ERR_ARGUMENT = 8      /* a bad argument to a call */
};

#define MBR_MAX_LINE (1 << 20)

/* Sample encodings for readtype_MBR. */
typedef enum { MBR_LIN16 = 0, MBR_LIN8 = 1, MBR_ULAW = 2, MBR_ALAW = 3 } MbrAudioType;

/* A phoneme built by hand: name, duration and pitch points. */
typedef struct MbrPhone MbrPhone;

/* A source of phonemes that read_MBR pulls from instead of write_MBR's text.
 * next_phone gives 1 with a phone in *phone (the synthesizer then owns it and
 * frees it with close_Phone), 2 for the end of an utterance, 0 when it has
 * nothing more (what is pending is then spoken). */
typedef struct MbrParser {
  void *context;
  int (*next_phone)(void *context, MbrPhone **phone);
} MbrParser;

/* Loads the voice file at path, replacing any voice loaded before, and
 * empties the queues. 0 on success, a negative error code on failure (the
 * message is in lastErrorStr_MBR); after a failure no voice is loaded. */
MBR_API int init_MBR(const char *path);

/* As init_MBR, then renames and clones phonemes. rename is a list of pairs
 * "OLD NEW ..." (OLD is then known only as NEW); clone a list of pairs
 * "NAME COPY ..." (COPY becomes a second name of NAME). Either may be NULL.
 * A pair naming an unknown phoneme makes the call fail. */
MBR_API int init_rename_MBR(const char *path, const char *rename, const char *clone);

/* Adds phoneme text; lines may arrive in pieces. Returns the number of bytes
 * taken, or a negative error code when no voice is loaded. Problems in the
 * lines are reported through lastError_MBR. */
MBR_API int write_MBR(const char *text);

/* Ends the utterance: an unfinished last line is taken as a line, and all
 * that is pending is synthesised for read_MBR. 0, or negative without voice. */
MBR_API int flush_MBR(void);

/* Copies up to n synthesised 16-bit samples into buffer; returns how many
 * (0 when nothing is ready), negative without voice. */
MBR_API int read_MBR(short *buffer, int n);

/* As read_MBR, in the encoding type (MbrAudioType): two bytes a sample for
 * MBR_LIN16, one for the others. Returns the number of samples. */
MBR_API int readtype_MBR(void *buffer, int n, int type);

/* Releases the voice and everything pending. */
MBR_API void close_MBR(void);

/* Discards pending text, phonemes and samples, and clears the error. */
MBR_API void reset_MBR(void);

/* The last error code (MBR_ERR_*), 0 when none since the last reset. */
MBR_API int lastError_MBR(void);

/* Copies the last error's message, cut to length - 1 bytes and
 * zero-terminated; returns the number of bytes copied. */
MBR_API int lastErrorStr_MBR(char *buffer, int length);

/* Clears the error code and message. */
MBR_API void resetError_MBR(void);

/* Non-zero: no-error mode, where an unknown phoneme is spoken as silence
 * instead of being an error. */
MBR_API void setNoError_MBR(int no_error);
MBR_API int getNoError_MBR(void);

/* The output rate in Hz; the voice's own rate by default. Another rate
 * (4000..96000) makes the samples resampled; 0 restores the voice's rate. */
MBR_API void setFreq_MBR(int frequency);
MBR_API int getFreq_MBR(void);

/* Gain applied to the output (1.0 by default, 0..100); samples clip at the
 * 16-bit limits. */
MBR_API void setVolumeRatio_MBR(float ratio);
MBR_API float getVolumeRatio_MBR(void);

/* Copies the version text, as lastErrorStr_MBR copies; returns its length. */
MBR_API int getVersion_MBR(char *buffer, int length);

/* Copies line index of the voice's description (0: name and format,
 * 1: rate and pitch, 2: counts, 3: the phoneme names); returns the full
 * length of that line, or -1 for another index or without voice. */
MBR_API int getDatabaseInfo_MBR(char *buffer, int length, int index);

/* Installs a phoneme source (see MbrParser); NULL goes back to write_MBR's
 * text. Pending input is discarded. Returns 0. */
MBR_API int setParser_MBR(const MbrParser *parser);

/* A new phone with name (up to 15 bytes) and duration in ms; NULL if name is
 * NULL or too long. */
MBR_API MbrPhone *init_Phone(const char *name, float duration);

/* Removes the phone's pitch points. */
MBR_API void reset_Phone(MbrPhone *phone);

/* Frees the phone (NULL is allowed). */
MBR_API void close_Phone(MbrPhone *phone);

/* Adds a pitch point at position percent of the phone, frequency Hz.
 * Returns the number of points, or -1 (NULL phone, or 4096 points already). */
MBR_API int appendf0_Phone(MbrPhone *phone, float position, float frequency);

#ifdef __cplusplus
}
#endif

#endif
