/* What the saver tells the program after a save: the volume's slot, the format, the file (for
 * a TIFF sequence the base name of its files), the compression and the digits of the frame
 * numbers. The program records it in a running macro as the writer directive that writes the
 * same bytes. Bound by the saver by ordinal (V3D_ORD_SaverWroteVolume); a program without it
 * answers null there, and the saver then reports nothing. */
#ifndef VELMORA3D_SHELL_SAVER_REPORT_H
#define VELMORA3D_SHELL_SAVER_REPORT_H

#ifdef __cplusplus
extern "C" {
#endif

/* Formats, as the saver's "&Save" offers them. */
enum {
  V3D_SAVED_TIFF_STACK = 1,    /* the VOI as one TIFF stack (WriteTiffStack) */
  V3D_SAVED_TIFF_SEQUENCE = 2, /* one TIFF file per VOI frame (WriteTiffSequence) */
  V3D_SAVED_RAW_VOLUME = 3,    /* the VOI as a raw volume file (WriteVolume) */
  V3D_SAVED_TEXT_DUMP = 4      /* the text dump of the VOI (dumpUCFI3D) */
};

void SaverWroteVolume(int slot, int format, const char* fileName, int compression, int digits);

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* VELMORA3D_SHELL_SAVER_REPORT_H */
