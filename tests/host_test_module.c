/* A module for the host tests, built once per variant (TM_VARIANT, numbers below). It binds
 * the program's exports by ordinal in its attach function like a real module, and its probe
 * functions (tm_*) let a test see what the host did with it. */
#include <dlfcn.h>
#include <stddef.h>

#include "host/module_api.h"

#define TM_TWO_ITEMS 1        /* "&One", "-!&Two" under "Two Items" */
#define TM_THREE_ITEMS 2      /* "&Alpha", "&Beta", "-&Gamma" under "Three Items" */
#define TM_NULL_MENU 3        /* no menu; a hook on projection windows only */
#define TM_SAME_HANDLER 4     /* one hook returned on both calls, and one item */
#define TM_NO_COMMAND_ENTRY 5 /* two items, no Velmora3DDLLReturnCmdHandler */
#define TM_NO_HOOK_ENTRY 6    /* no Velmora3DDLLReturnMessageHandler */
#define TM_REFUSES 7          /* the attach function answers 0 */
#define TM_NO_ATTACH 8        /* no attach function at all */
#define TM_EMPTY_LABEL 9      /* a label that is only its prefixes */
#define TM_HALF_IDS 10        /* 106 labels: two copies take every id */
#define TM_NULL_COMMAND 11    /* the command handler is null */

#ifndef TM_VARIANT
#error "TM_VARIANT selects the variant"
#endif

/* Some variants leave out the entry point that uses one of these. */
#define TM_MAYBE_UNUSED __attribute__((unused))

static V3dExportByOrdinalFn g_lookup TM_MAYBE_UNUSED;
static V3dSetMenuItemStateFn g_setState;
static V3dGetVelmora3DInfoFn g_info;
static V3dHostCallback g_callback;
static void* g_token;
static int g_attached, g_commands, g_lastCommand = -1, g_messages;
static unsigned int g_claimed; /* a message the hook reports handled; 0: none */
static int g_claimResult, g_silent;
static void* g_lastWindow;
static unsigned int g_lastMessage;
static uintptr_t g_lastWParam;
static intptr_t g_lastLParam;

#if TM_VARIANT != TM_NO_ATTACH
int Velmora3DModuleAttach(void) {
  /* The program exports this lookup; in any other process the module refuses to load. */
  g_lookup = (V3dExportByOrdinalFn)dlsym(RTLD_DEFAULT, V3D_EXPORT_BY_ORDINAL_NAME);
  if (g_lookup == NULL || TM_VARIANT == TM_REFUSES) return 0;
  g_setState = (V3dSetMenuItemStateFn)g_lookup(V3D_ORD_SetMenuItemState);
  g_info = (V3dGetVelmora3DInfoFn)g_lookup(V3D_ORD_GetVelmora3DInfo);
  if (g_setState == NULL || g_info == NULL) return 0;
  g_attached = 1;
  return 1;
}
#endif

TM_MAYBE_UNUSED static void hook(void* window, unsigned int message, uintptr_t wParam,
                                 intptr_t lParam) {
  ++g_messages;
  g_lastWindow = window;
  g_lastMessage = message;
  g_lastWParam = wParam;
  g_lastLParam = lParam;
  if (g_silent) return;
  if (message == g_claimed)
    g_callback(1, g_claimResult);
  else
    g_callback(0, 0);
}

#if TM_VARIANT != TM_NO_HOOK_ENTRY
V3dMessageHandler Velmora3DDLLReturnMessageHandler(V3dHostCallback callback) {
  static int calls;
  g_callback = callback;
  ++calls;
  if (TM_VARIANT == TM_SAME_HANDLER) return hook;
  if (TM_VARIANT == TM_NULL_MENU && calls == 1) return hook;
  return NULL;
}
#endif

const char** Velmora3DDLLReturnMenu(void* moduleToken) {
  g_token = moduleToken;
#if TM_VARIANT == TM_TWO_ITEMS || TM_VARIANT == TM_NO_COMMAND_ENTRY || \
    TM_VARIANT == TM_NULL_COMMAND || TM_VARIANT == TM_NO_HOOK_ENTRY
  static const char* menu[] = {"&One", "-!&Two", NULL, "Two Items"};
#elif TM_VARIANT == TM_THREE_ITEMS
  static const char* menu[] = {"&Alpha", "&Beta", "-&Gamma", NULL, "Three Items"};
#elif TM_VARIANT == TM_SAME_HANDLER || TM_VARIANT == TM_REFUSES || TM_VARIANT == TM_NO_ATTACH
  static const char* menu[] = {"&Hooked", NULL, "Hooked"};
#elif TM_VARIANT == TM_EMPTY_LABEL
  static const char* menu[] = {"&Fine", "-!", NULL, "Empty Label"};
#elif TM_VARIANT == TM_HALF_IDS
  static const char* menu[106 + 2];
  for (int i = 0; i < 106; ++i) menu[i] = "&Item";
  menu[106] = NULL;
  menu[107] = "Half";
#else
  static const char** menu = NULL;
#endif
  return menu;
}

TM_MAYBE_UNUSED static void command(int itemIndex) {
  ++g_commands;
  g_lastCommand = itemIndex;
}

#if TM_VARIANT != TM_NO_COMMAND_ENTRY
V3dCommandHandler Velmora3DDLLReturnCmdHandler(void) {
  return TM_VARIANT == TM_NULL_COMMAND ? NULL : command;
}
#endif

/* Probes for the tests. */
int tm_attached(void) {
  return g_attached;
}
int tm_commands(void) {
  return g_commands;
}
int tm_last_command(void) {
  return g_lastCommand;
}
int tm_messages(void) {
  return g_messages;
}
void* tm_last_window(void) {
  return g_lastWindow;
}
unsigned int tm_last_message(void) {
  return g_lastMessage;
}
uintptr_t tm_last_wparam(void) {
  return g_lastWParam;
}
intptr_t tm_last_lparam(void) {
  return g_lastLParam;
}
void* tm_token(void) {
  return g_token;
}
/* The hook reports `message` handled with `result`; silent hooks never call back. */
void tm_claim(unsigned int message, int result, int silent) {
  g_claimed = message;
  g_claimResult = result;
  g_silent = silent;
}
void tm_set_item_state(int itemIndex, int state) {
  g_setState(g_token, itemIndex, state);
}
V3dShellInfo* tm_info(void) {
  return g_info();
}
