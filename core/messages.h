/* Messages: error_handler, the question boxes and the shared text buffers and their loaders. */
#ifndef VELMORA3D_CORE_MESSAGES_H
#define VELMORA3D_CORE_MESSAGES_H

#include "core/volume.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Shows the text of |code| with the error icon; returns the message box result. */
int error_handler(int code);
/* Shows the text of |id| with the information icon and OK / Cancel; returns the button. */
int AskWithInformation(void* ownerWindow, int id);

/* Shared text buffers filled by the loaders below; a longer text is cut to fit. */
extern char promptText[130];
extern char labelText1[70];
extern char labelText2[70];
extern char labelText3[70];
extern char dialogTitle[70];
extern char shortText[70];

void LoadShortText(int id);
void LoadPromptText(int id);
void LoadDialogTitle(int id);
void LoadPromptAndLabels(int id, int labelId1, int labelId2);
void LoadPromptAndThreeLabels(int id, int labelId1, int labelId2, int labelId3);

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* VELMORA3D_CORE_MESSAGES_H */
